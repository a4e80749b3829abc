// The command line's texts, English and Korean side by side.
#include "messages.h"

#include <array>

namespace {

struct Texts {
    Message message;
    std::string_view english;
    std::string_view korean;
};

constexpr std::array kTexts{
    Texts{Message::ProgramSummary,
          "Administers a USB security key: its status, its login password and its key password.",
          "USB 인증키를 관리합니다: 상태, 로그인 암호, 인증키 암호."},
    Texts{Message::ListSummary, "Lists every attached key: serial number, state, login ID.",
          "연결된 모든 인증키의 일련번호, 상태, 로그인 ID를 보여 줍니다."},
    Texts{Message::StatusSummary, "Shows one key's serial number, state and login ID.",
          "인증키 하나의 일련번호, 상태, 로그인 ID를 보여 줍니다."},
    Texts{Message::ShowSummary,
          "Asks the key password and shows the login password stored on the key.",
          "인증키 암호를 물은 뒤 인증키에 저장된 로그인 암호를 보여 줍니다."},
    Texts{Message::SetLoginSummary,
          "Asks the key password and a new login password, and stores it on the key.",
          "인증키 암호와 새 로그인 암호를 물은 뒤 인증키에 저장합니다."},
    Texts{Message::SetKeySummary,
          "Asks the current key password and a new one (twice), and changes it.",
          "현재 인증키 암호와 새 인증키 암호(두 번)를 물은 뒤 바꿉니다."},
    Texts{Message::InitSummary,
          "Sets the first key password (asked twice) of a factory-initial key; any other key "
          "is left as it is.",
          "초기화 상태의 인증키에 첫 인증키 암호(두 번 물음)를 설정합니다. 다른 인증키는 그대로 "
          "둡니다."},
    Texts{Message::SerialOption,
          "the key to act on, by its serial number (8 hex digits), when several are attached",
          "인증키가 여러 개일 때 대상 인증키의 일련번호 (16진수 8자리)"},
    Texts{Message::JsonOption, "print one JSON document on standard output",
          "표준 출력에 JSON 문서 하나를 씁니다"},
    Texts{Message::EachOption,
          "wait for keys to be plugged in and set the same first key password (asked once) on "
          "every factory-initial key, once per serial number; ends on Ctrl-C or after --count",
          "꽂히는 인증키를 기다려 초기화 상태의 인증키마다 (한 번 물은) 같은 첫 인증키 암호를 "
          "일련번호당 한 번 설정합니다. Ctrl-C나 --count에서 끝납니다"},
    Texts{Message::RandomOption,
          "with --each: give each key a key password of its own from the system's random "
          "source, printed once beside its serial number",
          "--each와 함께: 인증키마다 시스템 난수로 만든 고유한 인증키 암호를 설정하고 일련번호 "
          "옆에 한 번 출력합니다"},
    Texts{Message::CountOption, "with --each: end after N keys took their first key password",
          "--each와 함께: 인증키 N개에 첫 인증키 암호를 설정하면 끝냅니다"},
    Texts{Message::CsvOption,
          "with --each: one CSV line per key (serial,key_password,outcome,message) for a "
          "spreadsheet",
          "--each와 함께: 스프레드시트용으로 인증키마다 CSV 한 줄 "
          "(serial,key_password,outcome,message)"},
    Texts{Message::PasswordsNote,
          "Passwords are read from the terminal without echo or, when standard input is not a "
          "terminal, one per line from standard input; never from arguments or the environment. "
          "A password holds at most 11 bytes in code page 949 (a Hangul syllable takes 2).",
          "암호는 화면에 보이지 않게 터미널에서 읽고, 표준 입력이 터미널이 아니면 표준 입력에서 "
          "한 줄에 하나씩 읽습니다. 인수나 환경 변수에서는 읽지 않습니다. 암호는 코드 페이지 "
          "949로 11바이트까지입니다 (한글 한 글자는 2바이트)."},
    Texts{Message::ExitCodesHeading, "Exit codes:", "종료 코드:"},
    Texts{Message::PromptKeyPassword, "Key password: ", "인증키 암호: "},
    Texts{Message::PromptCurrentKeyPassword, "Current key password: ", "현재 인증키 암호: "},
    Texts{Message::PromptNewKeyPassword, "New key password: ", "새 인증키 암호: "},
    Texts{Message::PromptNewKeyPasswordAgain, "New key password again: ", "새 인증키 암호 확인: "},
    Texts{Message::PromptNewLoginPassword, "New login password: ", "새 로그인 암호: "},
    Texts{Message::PromptEachKeyPassword,
          "First key password for every key: ", "모든 인증키에 설정할 첫 인증키 암호: "},
    Texts{Message::PromptEachKeyPasswordAgain,
          "First key password again: ", "첫 인증키 암호 확인: "},
    Texts{Message::TextTooLong,
          "That password takes more than 11 bytes in code page 949 (a Hangul syllable takes "
          "2); it was not used.",
          "암호가 코드 페이지 949로 11바이트를 넘습니다 (한글 한 글자는 2바이트). 이 암호는 "
          "쓰지 않았습니다."},
    Texts{Message::TextNotCp949,
          "That password holds a character that code page 949 cannot write; it was not used.",
          "코드 페이지 949로 쓸 수 없는 문자가 암호에 있습니다. 이 암호는 쓰지 않았습니다."},
    Texts{Message::KeyPasswordEmpty, "A key password cannot be empty; it was not used.",
          "인증키 암호는 비워 둘 수 없습니다. 이 암호는 쓰지 않았습니다."},
    Texts{Message::KeyPasswordFactoryMark,
          "A key password cannot begin with a carriage return (byte 0x0D), which marks a "
          "factory-initial key; it was not used.",
          "인증키 암호는 초기화 상태의 인증키를 나타내는 캐리지 리턴(바이트 0x0D)으로 시작할 수 "
          "없습니다. 이 암호는 쓰지 않았습니다."},
    Texts{Message::TypeAgain, "Type it again.", "다시 입력하십시오."},
    Texts{Message::InputEnded, "Standard input ended before a password was read.",
          "암호를 읽기 전에 표준 입력이 끝났습니다."},
    Texts{Message::NoKeyAttached, "No key is attached.", "USB 인증키를 찾지 못했습니다."},
    Texts{Message::KeyDidNotAnswer, "The key at %s did not answer.",
          "%s의 인증키가 응답하지 않았습니다."},
    Texts{Message::KeyPermissionDenied, "The key at %s cannot be opened: permission denied.",
          "%s의 인증키를 열 권한이 없습니다."},
    Texts{Message::UdevRuleHint,
          "KeyAdmin's udev rule gives the user at this computer access to the key: the package "
          "installs it in /usr/lib/udev/rules.d/; without the package, first 'sudo cp "
          "packaging/linux/70-keyadmin-usb-key.rules /etc/udev/rules.d/' from the source tree. "
          "'sudo udevadm control --reload-rules' and 'sudo udevadm trigger "
          "--subsystem-match=hidraw --action=change' (or plugging the key in again) apply it.",
          "KeyAdmin의 udev 규칙이 이 컴퓨터 앞의 사용자에게 인증키를 열 권한을 줍니다. 패키지가 "
          "규칙을 /usr/lib/udev/rules.d/에 설치합니다. 패키지 없이 쓸 때는 먼저 소스 트리에서 "
          "'sudo cp packaging/linux/70-keyadmin-usb-key.rules /etc/udev/rules.d/'를 "
          "실행하십시오. 'sudo udevadm control --reload-rules'와 'sudo udevadm trigger "
          "--subsystem-match=hidraw --action=change'를 실행하거나 인증키를 다시 꽂으면 "
          "적용됩니다."},
    Texts{Message::PlugdevHint,
          "A login without a seat (over SSH) needs the rule's plugdev line instead: copy the "
          "rule under the same name into /etc/udev/rules.d/ ('sudo cp "
          "/usr/lib/udev/rules.d/70-keyadmin-usb-key.rules /etc/udev/rules.d/') and edit that "
          "copy, never the package's file under /usr/lib, which an upgrade overwrites: its "
          "plugdev line in place of the uaccess one. Then put the user in the plugdev group, and "
          "run 'sudo udevadm control --reload-rules' and 'sudo udevadm trigger "
          "--subsystem-match=hidraw --action=change'.",
          "자리 없이 (SSH로) 로그인했다면 규칙의 plugdev 줄을 대신 써야 합니다. 규칙을 같은 "
          "이름으로 /etc/udev/rules.d/에 복사하고 ('sudo cp "
          "/usr/lib/udev/rules.d/70-keyadmin-usb-key.rules /etc/udev/rules.d/') 그 사본을 "
          "고치십시오. 패키지를 업그레이드하면 덮어쓰는 /usr/lib의 패키지 파일은 고치지 "
          "마십시오. 사본에서 uaccess 줄 대신 plugdev 줄을 쓰고, 사용자를 plugdev 그룹에 넣은 "
          "뒤 'sudo udevadm control --reload-rules'와 'sudo udevadm trigger "
          "--subsystem-match=hidraw --action=change'를 실행하십시오."},
    Texts{Message::KeyInUse, "The key at %s is in use by another program.",
          "%s의 인증키를 다른 프로그램이 사용하고 있습니다."},
    Texts{Message::KeyUnusable,
          "The device at %s cannot be used: its report lengths cannot be read.",
          "%s의 장치는 쓸 수 없습니다: 리포트 길이를 읽을 수 없습니다."},
    Texts{Message::NoKeyWithSerial, "No attached key has the serial number %s.",
          "일련번호가 %s인 인증키가 연결되어 있지 않습니다."},
    Texts{Message::OtherKeyThere,
          "Key %s is no longer at %s: key %s is there now, and nothing was read from it or "
          "written to it.",
          "인증키 %s이(가) 더 이상 %s에 없습니다. 지금은 인증키 %s이(가) 있으며, 그 인증키에서는 "
          "아무것도 읽거나 쓰지 않았습니다."},
    Texts{Message::SeveralKeys,
          "%s keys are attached; choose one with --serial. Nothing was changed.",
          "인증키 %s개가 연결되어 있습니다. --serial로 하나를 고르십시오. 아무것도 바꾸지 "
          "않았습니다."},
    Texts{Message::BadSerial, "--serial takes a serial number of 8 hex digits, such as 4b41d001.",
          "--serial에는 4b41d001처럼 16진수 8자리 일련번호를 주십시오."},
    Texts{Message::StateAttached, "attached", "연결됨"},
    Texts{Message::StateInitial, "factory-initial", "초기화 상태"},
    Texts{Message::StateNotAnswering, "not answering", "응답 없음"},
    Texts{Message::StatePermissionDenied, "permission denied", "권한 없음"},
    Texts{Message::StateInUse, "in use", "사용 중"},
    Texts{Message::StateUnusable, "unusable", "쓸 수 없음"},
    Texts{Message::LabelSerial, "serial number", "일련번호"},
    Texts{Message::LabelState, "state", "상태"},
    Texts{Message::LabelLoginId, "login ID", "로그인 ID"},
    Texts{Message::LabelDevice, "device", "장치"},
    Texts{Message::LoginPasswordIs, "login password: %s", "로그인 암호: %s"},
    Texts{Message::WrongKeyPassword, "The key password is wrong.", "인증키 암호가 틀렸습니다."},
    Texts{Message::ConfirmationMismatch,
          "The new key password and its confirmation differ; nothing was changed.",
          "변경할 암호와 암호 확인이 일치하지 않습니다. 아무것도 바꾸지 않았습니다."},
    Texts{Message::KeyNeedsInit,
          "Key %s is factory-initial: it has no key password yet. Set its first one with "
          "'keyadmin-cli init'.",
          "인증키 %s은(는) 초기화 상태라 인증키 암호가 아직 없습니다. 'keyadmin-cli init'으로 첫 "
          "인증키 암호를 설정하십시오."},
    Texts{Message::KeyNotInitial,
          "Key %s already has a key password, and init sets only the first one. Nothing was "
          "changed.",
          "인증키 %s에는 이미 인증키 암호가 있습니다. init은 첫 인증키 암호만 설정합니다. "
          "아무것도 바꾸지 않았습니다."},
    Texts{Message::LoginPasswordChanged, "Key %s: the login password was changed.",
          "인증키 %s: 로그인 암호가 변경 되었습니다."},
    Texts{Message::KeyPasswordChanged, "Key %s: the key password was changed.",
          "인증키 %s: 인증키 암호가 변경 되었습니다."},
    Texts{Message::FirstKeyPasswordSet, "Key %s: its first key password was set.",
          "인증키 %s: 첫 인증키 암호를 설정했습니다."},
    Texts{Message::SilentAfterChange,
          "The key did not answer after the change, but it had confirmed every byte: the new "
          "password is on the key.",
          "변경 뒤에 인증키가 응답하지 않았지만 모든 바이트를 확인했으므로 새 암호가 인증키에 "
          "있습니다."},
    Texts{Message::ChangeRefused, "Key %s refused the change.",
          "인증키 %s이(가) 변경을 거부했습니다."},
    Texts{Message::ChangeInterrupted, "Key %s stopped answering during the change.",
          "변경 도중에 인증키 %s이(가) 응답하지 않았습니다."},
    Texts{Message::KeyHoldsOld, "The key holds the old password, as before.",
          "인증키에는 이전 암호가 그대로 있습니다."},
    Texts{Message::KeyHoldsNew, "The key holds the new password.",
          "인증키에는 새 암호가 있습니다."},
    Texts{Message::LoginPasswordMixed,
          "The login password on the key is now part new, part old: set it again.",
          "인증키의 로그인 암호가 일부만 바뀌었습니다. 다시 설정하십시오."},
    Texts{Message::KeyPasswordMixed,
          "Neither the old nor the new key password unlocks the key now. Plug it back in "
          "(pull it out first if it is still attached): this program then puts the old key "
          "password back.",
          "지금은 이전 인증키 암호로도 새 인증키 암호로도 인증키를 열 수 없습니다. 인증키를 다시 "
          "꽂으십시오 (아직 꽂혀 있으면 뺐다가 꽂으십시오). 그러면 이 프로그램이 이전 인증키 "
          "암호를 되돌려 놓습니다."},
    Texts{Message::KeyPasswordMixedForGood,
          "The key password on the key is now part new, part old: neither password unlocks "
          "the key.",
          "인증키 암호가 일부만 바뀌어 이전 암호로도 새 암호로도 인증키를 열 수 없습니다."},
    Texts{Message::FirstKeyPasswordMixed,
          "The key holds part of its first key password, which nothing unlocks. Plug it back "
          "in (pull it out first if it is still attached): this program then makes it "
          "factory-initial again.",
          "인증키에 첫 인증키 암호가 일부만 쓰여 아무 암호로도 열 수 없습니다. 인증키를 다시 "
          "꽂으십시오 (아직 꽂혀 있으면 뺐다가 꽂으십시오). 그러면 이 프로그램이 초기화 상태로 "
          "되돌려 놓습니다."},
    Texts{Message::WaitingForKey, "Waiting for key %s, at most %s minutes; Ctrl-C stops waiting.",
          "인증키 %s을(를) 최대 %s분 기다립니다. Ctrl-C를 누르면 기다리기를 멈춥니다."},
    Texts{Message::RepairNewHolds,
          "Key %s: the change had taken effect: the new key password holds.",
          "인증키 %s: 변경이 끝나 있었습니다. 새 인증키 암호가 유효합니다."},
    Texts{Message::RepairOldBack, "Key %s: the old key password is back and unlocks the key.",
          "인증키 %s: 이전 인증키 암호를 되돌려 놓았습니다. 이전 암호로 열 수 있습니다."},
    Texts{Message::RepairFactoryBack,
          "Key %s: factory-initial again; set its first key password again.",
          "인증키 %s: 다시 초기화 상태입니다. 첫 인증키 암호를 다시 설정하십시오."},
    Texts{Message::RepairNotDone,
          "Key %s: putting the old bytes back failed again; pull it out and plug it back in.",
          "인증키 %s: 이전 값을 되돌리지 못했습니다. 뺐다가 다시 꽂으십시오."},
    Texts{Message::RepairGaveUp,
          "Stopped waiting. Key %s keeps bytes that neither password unlocks: this program "
          "can no longer put them right once it ends.",
          "기다리기를 멈췄습니다. 인증키 %s에는 어느 암호로도 열 수 없는 값이 남아 있으며, 이 "
          "프로그램이 끝나면 더는 되돌릴 수 없습니다."},
    Texts{Message::RepairPendingFirst,
          "Nothing was changed: key %s must be plugged in again first, to be put right.",
          "아무것도 바꾸지 않았습니다: 먼저 인증키 %s을(를) 다시 꽂아 바로잡아야 합니다."},
    Texts{Message::RandomSourceFailed, "The system's random source failed; no key was changed.",
          "시스템 난수 발생원이 실패했습니다. 인증키는 바꾸지 않았습니다."},
    Texts{Message::OutputFailed, "The output could not be written.", "출력을 쓸 수 없습니다."},
    Texts{Message::InterruptedNothingChanged, "Stopped by Ctrl-C; nothing was changed.",
          "Ctrl-C로 멈췄습니다. 아무것도 바꾸지 않았습니다."},
    Texts{Message::UsageError, "usage error: %s", "사용법 오류: %s"},
    Texts{Message::SeeHelp, "'keyadmin-cli --help' lists the commands.",
          "명령 목록은 'keyadmin-cli --help'로 볼 수 있습니다."},
    Texts{Message::EachWaiting, "Waiting for keys: plug them in one after another; Ctrl-C ends.",
          "인증키를 기다립니다. 하나씩 차례로 꽂으십시오. Ctrl-C를 누르면 끝납니다."},
    Texts{Message::EachSet, "first key password set", "첫 인증키 암호 설정함"},
    Texts{Message::EachSkipped, "skipped: not factory-initial", "건너뜀: 초기화 상태가 아님"},
    Texts{Message::EachFailed, "failed: %s", "실패: %s"},
    Texts{Message::EachRepairFirst,
          "not set: key %s must be plugged in again first, to be put right; plug this one in "
          "again afterwards",
          "설정하지 않음: 먼저 인증키 %s을(를) 다시 꽂아 바로잡아야 합니다. 이 인증키는 그 뒤에 "
          "다시 꽂으십시오"},
    Texts{Message::EachSummary, "Keys set: %s, skipped: %s, failed: %s.",
          "설정 %s개, 건너뜀 %s개, 실패 %s개."},
};

static_assert(kTexts.size() == static_cast<std::size_t>(Message::EachSummary) + 1);

constexpr bool InOrder() {
    for (std::size_t i = 0; i < kTexts.size(); ++i)
        if (static_cast<std::size_t>(kTexts[i].message) != i) return false;
    return true;
}
static_assert(InOrder(), "kTexts lists the messages in the order of their enum");

Language language = Language::English;

}  // namespace

void UseLanguage(Language chosen) {
    language = chosen;
}

std::string_view InLanguage(std::string_view english, std::string_view korean) {
    return language == Language::Korean ? korean : english;
}

std::string Say(Message message, std::initializer_list<std::string_view> values) {
    const Texts& texts = kTexts[static_cast<std::size_t>(message)];
    const std::string_view text = InLanguage(texts.english, texts.korean);
    std::string said;
    const std::string_view* value = values.begin();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && value != values.end()) {
            said += *value++;
            ++i;
        } else {
            said += text[i];
        }
    }
    return said;
}
