// keyadmin-cli's entry point.
#include "command_line.h"
#include "platform.h"

int main(int argc, char** argv) {
    UseLanguage(UserLanguage());
    GuardProcessMemory();
    StartConsole();
    WatchForInterrupt();
    return RunCommandLine(argc, argv);
}
