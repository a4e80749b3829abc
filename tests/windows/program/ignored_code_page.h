// keyadmin.exe as a Windows that does not know the manifest's code-page
// element runs it (Windows 10 and older): Wine honours the element, so the
// tests run a copy whose element lies in a namespace that has no such
// element, the 2005 one of dpiAware. Same length, same bytes otherwise: the
// program is the one built.
#pragma once

#include <string>

namespace program {

// Writes the copy into the working directory, beside keyadmin.exe, and
// returns its name; "" when keyadmin.exe does not carry the element exactly
// once.
std::string CopyIgnoringCodePage();

}  // namespace program
