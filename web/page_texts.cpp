// The page's texts, Korean and English side by side.
#include "page_texts.h"

#include <array>
#include <cstring>

#include "admin_texts.h"
#include "messages.h"

namespace {

PageLanguage language = PageLanguage::Korean;

// The page's own texts, by the name its elements carry.
struct OwnText {
    std::string_view name;
    std::string_view korean;
    std::string_view english;
};

constexpr std::array kOwnTexts{
    OwnText{"title", "USB 인증키 관리", "USB key administration"},
    OwnText{"language", "English", "한국어"},
    OwnText{"languageName", "언어 바꾸기", "Switch language"},
    OwnText{"connect", "인증키 연결", "Connect a key"},
    OwnText{"keys", "연결된 인증키", "Keys"},
    OwnText{"noKeys", "연결된 인증키가 없습니다.", "No key is attached."},
    OwnText{"serialLabel", "인증키 고유번호", "serial number"},
    OwnText{"siteLabel", "접속사이트", "site"},
    OwnText{"site", "www.example.com/keyadmin", "www.example.com/keyadmin"},
    OwnText{"loginIdLabel", "로그인 아이디", "login ID"},
    OwnText{"stateLabel", "상태", "state"},
    OwnText{"menu", "암호 설정", "Passwords"},
    OwnText{"showLogin", "로그인 암호 확인", "Show the login password"},
    OwnText{"changeLogin", "로그인 암호 변경", "Change the login password"},
    OwnText{"changeKey", "인증키 암호 변경", "Change the key password"},
    OwnText{"firstKey", "인증키 암호 설정", "Set the first key password"},
    OwnText{"refresh", "새로고침", "Refresh"},
    OwnText{"ok", "확인", "OK"},
    OwnText{"change", "변경", "Change"},
    OwnText{"cancel", "취소", "Cancel"},
    OwnText{"close", "확인", "OK"},
    OwnText{"currentLabel", "인증키 암호", "Key password"},
    OwnText{"newLabel", "변경할 암호", "New password"},
    OwnText{"newLoginLabel", "변경할 암호", "New login password"},
    OwnText{"newKeyLabel", "변경할 암호", "New key password"},
    OwnText{"confirmLabel", "암호 확인", "New key password again"},
    OwnText{"bytesLeft", "%s바이트 남음", "%s bytes left"},
    OwnText{"limitHint", "암호는 11바이트까지입니다 (한글 한 글자는 2바이트).",
            "A password takes at most 11 bytes (a Hangul syllable takes 2)."},
    OwnText{"tooLong",
            "암호가 코드 페이지 949로 11바이트를 넘습니다 (한글 한 글자는 2바이트). 이 암호는 "
            "쓰지 않았습니다.",
            "That password takes more than 11 bytes in code page 949 (a Hangul syllable takes "
            "2); it was not used."},
    OwnText{"notCp949",
            "코드 페이지 949로 쓸 수 없는 문자가 암호에 있습니다. 이 암호는 쓰지 않았습니다.",
            "That password holds a character that code page 949 cannot write; it was not used."},
    OwnText{"busy", "인증키와 통신하는 중입니다...", "Talking to the key..."},
    OwnText{"severalKeys", "인증키가 여러 개 연결되어 있습니다. 고유번호로 하나를 고르십시오.",
            "Several keys are attached: choose one by its serial number."},
    OwnText{"chooseKey", "이 인증키 사용", "Use this key"},
    OwnText{"chooserFailed", "인증키를 고르지 않았습니다.", "No key was chosen."},
    OwnText{"privacy",
            "이 페이지는 아무것도 보내거나 저장하지 않습니다. 암호는 쓰인 뒤 바로 지워집니다.",
            "This page sends and keeps nothing: passwords are wiped as soon as they have served."},
    OwnText{"noWebHid",
            "이 브라우저는 USB 인증키에 접근할 수 없습니다 (WebHID가 없습니다). Chrome, Edge 등 "
            "Chromium 기반 브라우저(Windows, macOS, Linux, ChromeOS)에서 이 파일을 열거나 "
            "http://localhost 또는 https로 여십시오. 프로그램도 있습니다: Windows에서는 "
            "keyadmin.exe, Linux에서는 keyadmin-cli.",
            "This browser cannot reach USB keys: it has no WebHID. Open this file in Chrome, Edge "
            "or another Chromium-based browser (Windows, macOS, Linux, ChromeOS), from disk, from "
            "http://localhost or over https. There are programs too: keyadmin.exe on Windows, "
            "keyadmin-cli on Linux."},
};

// A text of the window and its English: the command line's messages, in
// turn, when it has them.
struct WindowTextInEnglish {
    const char* korean;
    std::array<Message, 2> english;
    std::size_t count;
};

constexpr std::array kWindowTexts{
    WindowTextInEnglish{kKeyNotFoundStatus, {Message::NoKeyAttached}, 1},
    WindowTextInEnglish{kKeyAttachedStatus, {Message::StateAttached}, 1},
    WindowTextInEnglish{kFactoryInitialStatus, {Message::StateInitial}, 1},
    WindowTextInEnglish{kKeyNotFoundMessage, {Message::NoKeyAttached}, 1},
    WindowTextInEnglish{kWrongKeyPasswordMessage, {Message::WrongKeyPassword}, 1},
    WindowTextInEnglish{kLoginPasswordFormat, {Message::LoginPasswordIs}, 1},
    WindowTextInEnglish{kConfirmationMismatchMessage, {Message::ConfirmationMismatch}, 1},
    WindowTextInEnglish{kChangeFailedMessage, {Message::ChangeRefused, Message::KeyHoldsOld}, 2},
    WindowTextInEnglish{kLoginPasswordChangedMessage, {Message::LoginPasswordChanged}, 1},
    WindowTextInEnglish{kKeyPasswordChangedMessage, {Message::KeyPasswordChanged}, 1},
    WindowTextInEnglish{kLoginPasswordChangeFailedMessage, {Message::LoginPasswordMixed}, 1},
    WindowTextInEnglish{kKeyPasswordChangeInterruptedMessage,
                        {Message::ChangeInterrupted, Message::KeyPasswordMixed},
                        2},
    WindowTextInEnglish{kKeyPasswordChangeNotRepairedMessage,
                        {Message::ChangeRefused, Message::KeyPasswordMixed},
                        2},
    WindowTextInEnglish{kLoginPasswordChangedKeySilentMessage,
                        {Message::LoginPasswordChanged, Message::SilentAfterChange},
                        2},
    WindowTextInEnglish{kKeyPasswordChangedKeySilentMessage,
                        {Message::KeyPasswordChanged, Message::SilentAfterChange},
                        2},
    WindowTextInEnglish{kOtherKeyRepairPendingMessage, {Message::RepairPendingFirst}, 1},
    WindowTextInEnglish{kRepairNewKeyPasswordHoldsMessage, {Message::RepairNewHolds}, 1},
    WindowTextInEnglish{kRepairOldKeyPasswordBackMessage, {Message::RepairOldBack}, 1},
    WindowTextInEnglish{kRepairFactoryInitialBackMessage, {Message::RepairFactoryBack}, 1},
    WindowTextInEnglish{kKeyPasswordNotRepairedMessage, {Message::RepairNotDone}, 1},
};

// The captions have no command-line counterpart: the command line names
// its commands instead.
struct Caption {
    const char* korean;
    std::string_view english;
};

constexpr std::array kCaptions{
    Caption{kViewLoginPasswordCaption, "Login password"},
    Caption{kChangeLoginPasswordCaption, "Changing the login password"},
    Caption{kChangeKeyPasswordCaption, "Changing the key password"},
};

std::string_view InPageLanguage(std::string_view korean, std::string_view english) {
    return language == PageLanguage::Korean ? korean : english;
}

std::string English(Message message, std::string_view serial) {
    UseLanguage(Language::English);
    return Say(message, {serial});
}

}  // namespace

void UsePageLanguage(PageLanguage chosen) {
    language = chosen;
}

std::string PageText(std::string_view name) {
    for (const OwnText& text : kOwnTexts)
        if (text.name == name) return std::string(InPageLanguage(text.korean, text.english));
    return {};
}

std::string WindowText(const char* windowText, std::string_view serial) {
    if (language == PageLanguage::Korean) return windowText;
    for (const Caption& caption : kCaptions)
        if (std::strcmp(caption.korean, windowText) == 0) return std::string(caption.english);
    for (const WindowTextInEnglish& text : kWindowTexts) {
        if (std::strcmp(text.korean, windowText) != 0) continue;
        std::string english;
        for (std::size_t i = 0; i < text.count; ++i)
            english += (i ? " " : "") + English(text.english[i], serial);
        return english;
    }
    return windowText;
}

std::string SerialLine(const SerialNumber& serial) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line;
    for (const std::uint8_t byte : serial) {
        if (!line.empty()) line += ' ';
        line += kDigits[byte >> 4];
        line += kDigits[byte & 0x0F];
    }
    return line;
}

std::string FailureText(DiscoveryFailure failure, std::string_view path, bool linux) {
    UseLanguage(language == PageLanguage::Korean ? Language::Korean : Language::English);
    switch (failure) {
        case DiscoveryFailure::PermissionDenied:
            return Say(Message::KeyPermissionDenied, {path}) +
                   (linux ? " " + Say(Message::UdevRuleHint) : std::string());
        case DiscoveryFailure::InUse:
            return Say(Message::KeyInUse, {path});
        case DiscoveryFailure::Unusable:
            return Say(Message::KeyUnusable, {path});
        default:
            return {};
    }
}

std::string StateText(KeyStatus status, DiscoveryFailure failure) {
    UseLanguage(language == PageLanguage::Korean ? Language::Korean : Language::English);
    switch (failure) {
        case DiscoveryFailure::PermissionDenied:
            return Say(Message::StatePermissionDenied);
        case DiscoveryFailure::InUse:
            return Say(Message::StateInUse);
        case DiscoveryFailure::Unusable:
            return Say(Message::StateUnusable);
        default:
            break;
    }
    switch (status) {
        case KeyStatus::Connected:
            return Say(Message::StateAttached);
        case KeyStatus::Initial:
            return Say(Message::StateInitial);
        case KeyStatus::NotFound:
            break;
    }
    return Say(Message::StateNotAnswering);
}

std::string OtherKeyText(std::string_view expected, std::string_view found) {
    return std::string(InPageLanguage("고유번호가 ", "Key ")) + std::string(expected) +
           std::string(InPageLanguage("인 인증키 자리에 다른 인증키(", " was expected, but key ")) +
           std::string(found) +
           std::string(
               InPageLanguage(")가 응답했습니다. 아무것도 읽거나 바꾸지 않았습니다.",
                              " answered in its place. Nothing was read from it or changed."));
}

std::string ChosenKeyGoneText(std::string_view serial) {
    UseLanguage(language == PageLanguage::Korean ? Language::Korean : Language::English);
    return std::string(InPageLanguage("고른 인증키(", "")) +
           (language == PageLanguage::Korean ? std::string(serial) + ")가 연결되어 있지 않습니다."
                                             : Say(Message::NoKeyWithSerial, {serial})) +
           std::string(
               InPageLanguage(" 목록에서 인증키를 고르십시오.", " Choose a key from the list."));
}
