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

// A change that met a fault. The old login password is never read, so it
// cannot be put back; an interrupted key password is repaired at the next
// contact with the key.
inline constexpr char kLoginPasswordChangeFailedMessage[] =
    "암호를 변경 도중에 오류가 생겼습니다.\r\n로그인 암호를 다시 설정해 주십시오.";
inline constexpr char kKeyPasswordChangeInterruptedMessage[] =
    "암호를 변경 도중에 오류가 생겼습니다.\r\n인증키 암호 변경이 중단되었습니다. 인증키를 다시 "
    "꽂고, 프로그램을 닫지 말고 새로고침 버튼을 누르면 이전 인증키 암호로 되돌립니다.";
inline constexpr char kKeyPasswordChangeNotRepairedMessage[] =
    "암호를 변경 도중에 오류가 생겼습니다.\r\n인증키 암호를 아직 복구하지 못했습니다. 인증키를 "
    "다시 꽂고 새로고침 버튼을 누르십시오.";
inline constexpr char kLoginPasswordChangedKeySilentMessage[] =
    "로그인 암호가 변경 되었습니다.\r\n변경 후 인증키가 응답하지 않습니다. 인증키를 다시 꽂고 "
    "새로고침 버튼을 누르십시오.";
inline constexpr char kKeyPasswordChangedKeySilentMessage[] =
    "인증키 암호가 변경 되었습니다.\r\n변경 후 인증키가 응답하지 않습니다. 인증키를 다시 꽂고 "
    "새로고침 버튼을 누르십시오.";
inline constexpr char kOtherKeyRepairPendingMessage[] =
    "중단된 인증키 암호 변경을 아직 되돌리지 못한 다른 인증키가 있습니다. 먼저 그 인증키를 다시 "
    "꽂고 새로고침 버튼을 누르십시오.";

// A key-password repair, settled by the next operation that finds the key.
inline constexpr char kRepairNewKeyPasswordHoldsMessage[] =
    "중단되었던 인증키 암호 변경이 완료되어 있습니다. 새 인증키 암호로 사용할 수 있습니다.";
inline constexpr char kRepairOldKeyPasswordBackMessage[] =
    "중단되었던 인증키 암호 변경을 되돌렸습니다. 이전 인증키 암호로 사용할 수 있습니다.";
inline constexpr char kRepairFactoryInitialBackMessage[] =
    "중단되었던 인증키 암호 설정을 되돌렸습니다. 인증키는 다시 초기화 상태입니다.";
inline constexpr char kKeyPasswordNotRepairedMessage[] =
    "인증키 암호를 아직 복구하지 못했습니다. 인증키를 다시 꽂고 새로고침 버튼을 누르십시오.";
