// The program's texts are code page 949 bytes for the ANSI window functions.
// The manifest asks Windows for that code page, which Windows 11 and Windows
// Server 2022 grant; older systems give the program the code page of their
// language for non-Unicode programs, and then every text but the menu comes
// out garbled. A notice that any user can read says why, and what to set.
#pragma once

// When the process code page is not 949: shows the notice, in Korean and in
// English, and returns once the user has closed it. Otherwise does nothing.
void NoticeWhenNotKoreanCodePage();
