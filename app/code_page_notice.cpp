// The notice of a process code page that is not 949. It goes through the
// Unicode message box, with wide texts (UTF-16 whatever the narrow texts'
// charset), so that it reads right in any code page. The window does not
// exist yet: the box has no owner.
#include "code_page_notice.h"

#include <windows.h>

namespace {

constexpr UINT kKoreanCodePage = 949;

constexpr wchar_t kCaption[] = L"KeyAdmin";

// The Korean text names Korean Windows' settings, the English one English
// Windows': Windows 11's, and the Control Panel's of the older systems, the
// ones that show the notice.
constexpr wchar_t kNotice[] =
    L"KeyAdmin은 유니코드를 지원하지 않는 프로그램용 언어가 한국어여야 합니다. "
    L"지금은 다른 언어라서 글자가 깨져 보일 수 있습니다.\n"
    L"설정 > 시간 및 언어 > 언어 및 지역 > 관리 언어 설정 > 시스템 로캘 변경"
    L"(Windows 10 이하: 제어판 > 국가 또는 지역 > 관리자 옵션 > 시스템 로캘 변경)에서 "
    L"한국어(대한민국)를 고르고 Windows를 다시 시작하십시오.\n\n"
    L"KeyAdmin needs Korean as the language for non-Unicode programs; with another "
    L"language its texts may be unreadable.\n"
    L"Set it in Settings > Time & language > Language & region > Administrative language "
    L"settings > Change system locale (Windows 10 and older: Control Panel > Region > "
    L"Administrative > Change system locale): choose Korean (Korea), then restart Windows.";

}  // namespace

void NoticeWhenNotKoreanCodePage() {
    if (GetACP() == kKoreanCodePage) return;
    MessageBoxW(nullptr, kNotice, kCaption, MB_OK | MB_ICONWARNING);
}
