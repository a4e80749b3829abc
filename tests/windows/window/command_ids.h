// The command ids the window handles, as the tests send them.
#pragma once

#include <windows.h>

enum : WORD {
    kRefresh = 101,
    kOk = 102,
    kChange = 103,
    kCancel = 104,
    kMenuView = 40006,
    kMenuChangeLogin = 40001,
    kMenuChangeKey = 40002,
    kMenuExit = 40005,
};
