// keyadmin-cli.exe, the unmodified program from bin/, run as a script runs
// it: its standard input from a pipe, its outputs read back (UTF-8 when
// they are not a console), its exit code. While it runs, the test may act
// once the outputs show a text (plug a key back in).
#pragma once

#include <functional>
#include <string>

namespace clirun {

struct Ran {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct Step {
    std::string when;              // once the outputs hold this text,
    std::function<void()> action;  // this is done
};

Ran RunCli(const std::string& arguments, const std::string& input = "", const Step& step = {});

}  // namespace clirun
