#include "expected_texts.h"

namespace expected {

const char kNotFoundStatus[] = "USB 인증키를 찾지 못했습니다.\r\n";
const char kAttachedStatus[] = "인증키가 연결되어 있습니다.\r\n";
const char kInitialStatus[] =
    "초기화 상태의 인증키입니다.\r\n인증키 비밀번호를 설정해야 사용이 가능합니다.";

const char kViewCaption[] = "로그인 암호 보기";
const char kKeyCaption[] = "인증키 암호 변경";
const char kLoginCaption[] = "로그인 암호 변경";
const char kNotFound[] = "USB 인증키를 찾지 못했습니다";
const char kWrongPassword[] = "인증키 암호가 틀렸습니다.";
const char kShownBefore[] = "로그인 암호는 '";
const char kShownAfter[] = "' 입니다.";
const char kMismatch[] = "변경할 암호와 암호 확인이 일치하지 않습니다.";
const char kChangeFailed[] = "암호를 변경 도중에 오류가 생겼습니다.";
const char kLoginChanged[] = "로그인 암호가 변경 되었습니다.";
const char kKeyChanged[] = "인증키 암호가 변경 되었습니다.";

const char kLoginChangeFailed[] =
    "암호를 변경 도중에 오류가 생겼습니다.\r\n로그인 암호를 다시 설정해 주십시오.";
const char kKeyChangeInterrupted[] =
    "암호를 변경 도중에 오류가 생겼습니다.\r\n인증키 암호 변경이 중단되었습니다. 인증키를 다시 "
    "꽂고, "
    "프로그램을 닫지 말고 새로고침 버튼을 누르면 이전 인증키 암호로 되돌립니다.";
const char kKeyChangeNotRepaired[] =
    "암호를 변경 도중에 오류가 생겼습니다.\r\n인증키 암호를 아직 복구하지 못했습니다. 인증키를 "
    "다시 "
    "꽂고 새로고침 버튼을 누르십시오.";
const char kLoginChangedKeySilent[] =
    "로그인 암호가 변경 되었습니다.\r\n변경 후 인증키가 응답하지 않습니다. 인증키를 다시 꽂고 "
    "새로고침 버튼을 누르십시오.";
const char kKeyChangedKeySilent[] =
    "인증키 암호가 변경 되었습니다.\r\n변경 후 인증키가 응답하지 않습니다. 인증키를 다시 꽂고 "
    "새로고침 버튼을 누르십시오.";
const char kOtherKeyRepairPending[] =
    "중단된 인증키 암호 변경을 아직 되돌리지 못한 다른 인증키가 있습니다. 먼저 그 인증키를 다시 "
    "꽂고 "
    "새로고침 버튼을 누르십시오.";
const char kRepairNewHolds[] =
    "중단되었던 인증키 암호 변경이 완료되어 있습니다. 새 인증키 암호로 사용할 수 있습니다.";
const char kRepairOldBack[] =
    "중단되었던 인증키 암호 변경을 되돌렸습니다. 이전 인증키 암호로 사용할 수 있습니다.";
const char kRepairFactoryBack[] =
    "중단되었던 인증키 암호 설정을 되돌렸습니다. 인증키는 다시 초기화 상태입니다.";
const char kNotRepaired[] =
    "인증키 암호를 아직 복구하지 못했습니다. 인증키를 다시 꽂고 새로고침 버튼을 누르십시오.";

const char kGaNaDaRaMa[] = "가나다라마";
const char kGaNaDaRaMaBa[] = "가나다라마바";
const char kAGaNaDaRaMa[] = "a가나다라마";
const char kAGaNaDaRaMaBa[] = "a가나다라마바";
const char kTtomTimes5[] = "똠똠똠똠똠";
const char kTtomTimes6[] = "똠똠똠똠똠똠";

}  // namespace expected
