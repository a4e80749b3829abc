// The command line itself: the arguments parsed (CLI11), the command run,
// its outcome presented; the exit code returned. The language, the console
// and Ctrl-C are set up by the caller (main.cpp).
#pragma once

int RunCommandLine(int argc, const char* const* argv);
