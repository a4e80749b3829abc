#include "window_texts.h"

namespace expected {

const char kFontFace[] = "굴림체";

const char kMenuPopup[] = "암호 설정";
const char kMenuView[] = "로그인 암호 확인";
const char kMenuChangeLogin[] = "로그인 암호 변경";
const char kMenuChangeKey[] = "인증키 암호 변경";
const char kMenuExit[] = "종료";

const char kRefreshButton[] = "새로고침";
const char kOkButton[] = "확인";
const char kChangeButton[] = "변경";
const char kCancelButton[] = "취소";

// Spaces spelled out where they are easy to miscount.
const char kSerialLinePrefix[] =
    "인증키 고유번호 :"
    "  ";
const char kSerialLineNoKey[] =
    "인증키 고유번호 :"
    "  "
    "xx xx xx xx";
const char kLoginLinePrefix[] =
    "  "
    "로그인 아이디 :"
    "  ";
const char kLoginLineNoKey[] =
    "  "
    "로그인 아이디 :"
    "     "
    "     "
    "     ";  // 15 spaces
const char kSiteLinePrefix[] =
    "     "
    "접속사이트 :"
    "  ";
const char kKeyPasswordLabel[] = " 인증키 암호 :";
const char kNewPasswordLabel[] = " 변경할 암호 :";
const char kConfirmLabel[] = "   암호 확인 :";

}  // namespace expected
