// A folder of the test's own in the temporary folder, holding a virtual
// key's memory file: made when the test starts, removed with whatever the
// key left in it when it ends. Moving it away makes the file's folder gone
// for whoever saves there.
#pragma once

#include <windows.h>

#include <string>

class KeyFileFolder {
public:
    explicit KeyFileFolder(const std::string& name) {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
        gone = folder + "-gone";
        path = folder + "\\key";
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    // The key holding the file must be gone by then (its server holds the
    // file's lock).
    ~KeyFileFolder() {
        MoveBack();
        for (const std::string& file : {path, path + ".lock", path + ".new"})
            DeleteFileA(file.c_str());
        RemoveDirectoryA(folder.c_str());
    }
    KeyFileFolder(const KeyFileFolder&) = delete;
    KeyFileFolder& operator=(const KeyFileFolder&) = delete;

    bool MoveAway() const { return MoveFileA(folder.c_str(), gone.c_str()); }
    bool MoveBack() const { return MoveFileA(gone.c_str(), folder.c_str()); }

    std::string folder, gone;
    std::string path;  // the key's file
};
