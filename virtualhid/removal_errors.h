// Reads and writes on a pulled key's handles fail with the error the server
// is set to give (see removal_errors.cpp).
#pragma once

// Points the program's imports of the file functions at wrappers that
// translate the errors. Called once, when the stand-in hid.dll is loaded.
void TranslateRemovalErrors();
