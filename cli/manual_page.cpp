// keyadmin-cli-manual: writes keyadmin-cli's manual page (troff, man(7)) in
// English or Korean, from the same tables as --help: the commands, the
// options, and the exit codes.
//   keyadmin-cli-manual en|ko > keyadmin-cli.1
#include <iostream>
#include <string>
#include <string_view>

#include "command_line.h"
#include "exit_codes.h"
#include "messages.h"
#include "repair_wait.h"

namespace {

std::string_view Text(std::string_view english, std::string_view korean) {
    return InLanguage(english, korean);
}

// A text as troff takes it: a backslash as \e, a hyphen as \-, a line
// starting with a dot or an apostrophe protected.
std::string Roff(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

void Option(const char* name, Message description) {
    std::cout << ".TP\n.B " << Roff(name) << "\n" << Roff(Say(description)) << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    const bool korean = argc > 1 && std::string_view(argv[1]) == "ko";
    UseLanguage(korean ? Language::Korean : Language::English);

    std::cout << ".TH KEYADMIN\\-CLI 1 \"\" \"KeyAdmin " KEYADMIN_VERSION "\" \""
              << Text("User Commands", "사용자 명령") << "\"\n";
    std::cout << ".SH " << Text("NAME", "이름") << "\nkeyadmin\\-cli \\- "
              << Roff(Say(Message::ProgramSummary)) << "\n";
    std::cout << ".SH " << Text("SYNOPSIS", "사용법") << "\n";
    for (const CommandEntry& command : kCommandTable)
        std::cout << "\\fBkeyadmin\\-cli\\fR [\\fB\\-\\-json\\fR] \\fB" << Roff(command.name)
                  << "\\fR" << (command.takesSerial ? " [\\fB\\-\\-serial\\fR \\fISERIAL\\fR]" : "")
                  << "\n.br\n";
    std::cout << "\\fBkeyadmin\\-cli\\fR [\\fB\\-\\-json\\fR] \\fBinit \\-\\-each\\fR "
                 "[\\fB\\-\\-random\\fR] [\\fB\\-\\-count\\fR \\fIN\\fR] [\\fB\\-\\-csv\\fR]\n";

    std::cout << ".SH " << Text("DESCRIPTION", "설명") << "\n"
              << Roff(Text("keyadmin-cli administers the USB security key (vendor 10f7, product "
                           "81e1) from a terminal or a script: one command per action. With "
                           "several keys attached, --serial chooses one by its serial number; "
                           "a command for one key changes nothing without it. Every write to the "
                           "key is confirmed by the key's echo of each byte.",
                           "keyadmin-cli는 터미널이나 스크립트에서 USB 인증키(공급자 10f7, 제품 "
                           "81e1)를 관리합니다. 동작마다 명령이 하나 있습니다. 인증키가 여러 개 "
                           "연결되어 있으면 --serial로 일련번호를 골라야 하며, 고르지 않으면 "
                           "아무것도 바꾸지 않습니다. 인증키에 쓰는 모든 바이트는 인증키가 "
                           "되돌려 주는 값으로 확인합니다."))
              << "\n.PP\n"
              << Roff(Say(Message::PasswordsNote)) << "\n.PP\n"
              << Roff(Text("When a key is pulled out while its key password is being written, "
                           "neither password unlocks it; the command then waits for that key to "
                           "be plugged in again, at most " +
                               std::to_string(kRepairWaitMinutes) +
                               " minutes (Ctrl-C stops waiting), and puts the old key password "
                               "back.",
                           "인증키 암호를 쓰는 도중에 인증키를 빼면 어느 암호로도 열 수 없게 "
                           "됩니다. 그러면 명령이 그 인증키를 다시 꽂기를 최대 " +
                               std::to_string(kRepairWaitMinutes) +
                               "분 기다렸다가 (Ctrl-C로 멈춤) 이전 인증키 암호를 되돌려 "
                               "놓습니다."))
              << "\n";

    std::cout << ".SH " << Text("COMMANDS", "명령") << "\n";
    for (const CommandEntry& command : kCommandTable)
        std::cout << ".TP\n.B " << Roff(command.name) << "\n" << Roff(Say(command.summary)) << "\n";

    std::cout << ".SH " << Text("OPTIONS", "옵션") << "\n";
    Option("--serial SERIAL", Message::SerialOption);
    Option("--json", Message::JsonOption);
    Option("--each", Message::EachOption);
    Option("--random", Message::RandomOption);
    Option("--count N", Message::CountOption);
    Option("--csv", Message::CsvOption);
    std::cout << ".TP\n.B \\-h, \\-\\-help\n"
              << Text("shows the commands, or a command's options",
                      "명령 목록이나 명령의 옵션을 "
                      "보여 줍니다")
              << "\n.TP\n.B \\-\\-version\n"
              << Text("shows the version", "버전을 보여 줍니다") << "\n";

    std::cout << ".SH " << Text("EXIT STATUS", "종료 상태") << "\n";
    for (const ExitCodeEntry& entry : kExitCodes)
        std::cout << ".TP\n.B " << static_cast<int>(entry.code) << "\n"
                  << Roff(entry.name) << ": " << Roff(InLanguage(entry.english, entry.korean))
                  << "\n";

    std::cout << ".SH " << Text("ENVIRONMENT", "환경 변수")
              << "\n.TP\n.B LC_ALL, LC_MESSAGES, LANG\n"
              << Roff(Text("the first one set chooses the language: Korean for the language ko "
                           "(ko_KR.UTF-8, for instance) when the character set is UTF-8, "
                           "English otherwise",
                           "처음으로 설정된 변수가 언어를 정합니다: 언어가 ko이고 (ko_KR.UTF-8 "
                           "등) 문자 집합이 UTF-8이면 한국어, 아니면 영어"))
              << "\n.TP\n.B LC_ALL, LC_CTYPE, LANG\n"
              << Roff(Text("the first one set gives the character set passwords are typed in "
                           "(UTF-8 in the C locale)",
                           "처음으로 설정된 변수가 암호를 입력하는 문자 집합을 정합니다 (C "
                           "로캘에서는 UTF-8)"))
              << "\n";
    std::cout << ".SH " << Text("FILES", "파일") << "\n.TP\n"
              << ".I /usr/lib/udev/rules.d/70\\-keyadmin\\-usb\\-key.rules\n"
              << Roff(Text("gives the user at the machine's seat access to the key's hidraw "
                           "node; the package's file, which an upgrade overwrites",
                           "자리에 앉은 사용자에게 인증키의 hidraw 노드를 열 권한을 줍니다. "
                           "패키지를 업그레이드하면 덮어쓰는 패키지 파일입니다"))
              << "\n.TP\n.I /etc/udev/rules.d/70\\-keyadmin\\-usb\\-key.rules\n"
              << Roff(Say(Message::PlugdevHint)) << "\n";
    return 0;
}
