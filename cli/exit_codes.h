// The command line's exit codes: one per outcome, the same on every
// platform. --help, the man page and the README list this table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

enum class ExitCode : std::uint8_t {
    Success = 0,
    Failure = 1,  // the system refused what the command needed (random source, output)
    Usage = 2,
    NoKey = 3,
    SeveralKeys = 4,
    WrongKeyPassword = 5,
    ConfirmationMismatch = 6,
    WrongKeyState = 7,
    ChangeFailed = 8,
    PermissionDenied = 9,
    KeyInUse = 10,
    Interrupted = 130,
};

struct ExitCodeEntry {
    ExitCode code;
    std::string_view name;  // the "outcome" of the JSON document
    std::string_view english;
    std::string_view korean;
};

inline constexpr std::array kExitCodes{
    ExitCodeEntry{ExitCode::Success, "success", "success", "성공"},
    ExitCodeEntry{ExitCode::Failure, "failure",
                  "the system refused what the command needed (random source, output)",
                  "명령에 필요한 것을 시스템이 거부함 (난수 발생원, 출력)"},
    ExitCodeEntry{ExitCode::Usage, "usage-error",
                  "usage error, or a typed password the key cannot take (refused before "
                  "anything was written)",
                  "사용법 오류, 또는 인증키가 받을 수 없는 암호 (아무것도 쓰기 전에 거부함)"},
    ExitCodeEntry{ExitCode::NoKey, "no-key",
                  "no key attached, no key with that serial number, or the key did not answer",
                  "인증키가 없음, 그 일련번호의 인증키가 없음, 또는 인증키가 응답하지 않음"},
    ExitCodeEntry{ExitCode::SeveralKeys, "several-keys",
                  "several keys attached and no --serial: nothing was changed",
                  "인증키가 여러 개이고 --serial이 없음: 아무것도 바꾸지 않음"},
    ExitCodeEntry{ExitCode::WrongKeyPassword, "wrong-key-password", "wrong key password",
                  "인증키 암호가 틀림"},
    ExitCodeEntry{ExitCode::ConfirmationMismatch, "confirmation-mismatch",
                  "the new key password and its confirmation differ",
                  "새 인증키 암호와 암호 확인이 다름"},
    ExitCodeEntry{ExitCode::WrongKeyState, "wrong-key-state",
                  "the key is not in the state the command needs (factory-initial or not)",
                  "인증키가 명령에 맞는 상태가 아님 (초기화 상태인지 아닌지)"},
    ExitCodeEntry{ExitCode::ChangeFailed, "change-failed",
                  "the change was refused or interrupted (the message says what the key holds)",
                  "변경이 거부되거나 중단됨 (인증키에 남은 것은 메시지가 알려 줌)"},
    ExitCodeEntry{ExitCode::PermissionDenied, "permission-denied",
                  "the key is there, but this user may not open it",
                  "인증키는 있지만 이 사용자에게 열 권한이 없음"},
    ExitCodeEntry{ExitCode::KeyInUse, "key-in-use", "the key is in use by another program",
                  "다른 프로그램이 인증키를 사용 중"},
    ExitCodeEntry{ExitCode::Interrupted, "interrupted",
                  "stopped by Ctrl-C before anything was changed",
                  "아무것도 바꾸기 전에 Ctrl-C로 멈춤"},
};

constexpr const ExitCodeEntry& EntryOf(ExitCode code) {
    for (const ExitCodeEntry& entry : kExitCodes)
        if (entry.code == code) return entry;
    return kExitCodes[1];
}

constexpr bool ExitCodesDistinct() {
    for (std::size_t i = 0; i < kExitCodes.size(); ++i)
        for (std::size_t j = i + 1; j < kExitCodes.size(); ++j)
            if (kExitCodes[i].code == kExitCodes[j].code ||
                kExitCodes[i].name == kExitCodes[j].name)
                return false;
    return true;
}
static_assert(ExitCodesDistinct(), "one exit code, and one name, per outcome");
