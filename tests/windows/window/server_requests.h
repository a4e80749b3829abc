// The virtual-key server of the test process, started once for all its tests
// (linking this file starts it), and the requests the window tests make.
#pragma once

#include <string>

namespace keyserver {

// One request; the test fails unless the server answers "ok".
std::string Control(const std::string& request);

// Adds a key ("serial=... key-password=..."); its device id.
std::string AddKey(const std::string& options = "");

// The key's 59 cells.
std::string Cells(const std::string& id);

// How many output reports the key has taken.
int Reports(const std::string& id);

// How many handles to the key were ever opened.
int Opens(const std::string& id);

}  // namespace keyserver
