// The window's module-level state.
#include "admin_window.h"

AdminWindowState windowState;
