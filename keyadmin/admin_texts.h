// The texts the key administration shows, compiled to code page 949.
#pragma once

// Status box.
inline constexpr char kKeyNotFoundStatus[] = "USB 인증키를 찾지 못했습니다.\r\n";
inline constexpr char kKeyAttachedStatus[] = "인증키가 연결되어 있습니다.\r\n";
inline constexpr char kFactoryInitialStatus[] =
    "초기화 상태의 인증키입니다.\r\n인증키 비밀번호를 설정해야 사용이 가능합니다.";

// Message boxes.
inline constexpr char kViewLoginPasswordCaption[] = "로그인 암호 보기";
inline constexpr char kChangeLoginPasswordCaption[] = "로그인 암호 변경";
inline constexpr char kChangeKeyPasswordCaption[] = "인증키 암호 변경";

inline constexpr char kKeyNotFoundMessage[] = "USB 인증키를 찾지 못했습니다";
inline constexpr char kWrongKeyPasswordMessage[] = "인증키 암호가 틀렸습니다.";
inline constexpr char kLoginPasswordFormat[] = "로그인 암호는 '%s' 입니다.";
inline constexpr char kConfirmationMismatchMessage[] =
    "변경할 암호와 암호 확인이 일치하지 않습니다.";
inline constexpr char kChangeFailedMessage[] = "암호를 변경 도중에 오류가 생겼습니다.";
inline constexpr char kLoginPasswordChangedMessage[] = "로그인 암호가 변경 되었습니다.";
inline constexpr char kKeyPasswordChangedMessage[] = "인증키 암호가 변경 되었습니다.";
