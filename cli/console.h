// Where the command line's text goes: results to standard output; prompts,
// progress and failures to standard error. Texts are UTF-8 and are written
// straight through, with no library buffer in between, so that no copy of a
// secret is left behind. On a Windows console they are written as UTF-16, so
// that Korean is readable whatever the console's code page.
#pragma once

#include <string_view>

// Prepares the standard streams; once, at the start. A closed output then
// shows as a failed write rather than ending the program.
void StartConsole();

// False when not all of `utf8` could be written.
bool WriteOut(std::string_view utf8);
bool WriteErr(std::string_view utf8);
