// A program copied where every user may run it, for tests that run it as
// another user: the build tree may be out of that user's reach.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

class ReachableCopy {
public:
    // Copies `program` into a fresh folder /tmp/<prefix>-XXXXXX that every
    // user may enter; the folder goes when the copy does.
    ReachableCopy(const std::string& program, const std::string& prefix) {
        std::string directory = "/tmp/" + prefix + "-XXXXXX";
        if (!mkdtemp(directory.data())) return;
        directory_ = directory;
        std::filesystem::permissions(directory_, std::filesystem::perms(0755));
        path_ = File(std::filesystem::path(program).filename());
        std::filesystem::copy_file(program, path_);
    }
    ~ReachableCopy() {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    ReachableCopy(const ReachableCopy&) = delete;
    ReachableCopy& operator=(const ReachableCopy&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return directory_ + "/" + name; }

private:
    std::string directory_, path_;
};

// The words that run a command as user and group 65534, with no other groups.
inline const std::vector<std::string> kAsNobody{"setpriv", "--reuid=65534", "--regid=65534",
                                                "--clear-groups"};
