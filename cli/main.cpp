// keyadmin-cli's entry point.
#include "command_line.h"
#include "console.h"
#include "interrupt.h"
#include "messages.h"
#include "ui_language.h"

int main(int argc, char** argv) {
    UseLanguage(UserLanguage());
    StartConsole();
    WatchForInterrupt();
    return RunCommandLine(argc, argv);
}
