// Running keyadmin-cli under virtual-hidraw.
#include "cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "reachable_copy.h"

namespace clirun {

namespace {

const ReachableCopy& Copy() {
    static const ReachableCopy copy(KEYADMIN_CLI, "keyadmin-cli-test");
    return copy;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::vector<std::string> CommandLine(const Invocation& invocation, const std::string& cells) {
    std::vector<std::string> argv{VIRTUAL_HIDRAW};
    for (const std::string& word : Words(invocation.devices)) argv.push_back(word);
    argv.insert(argv.end(), {"--cells", cells, "--"});
    if (invocation.asAnotherUser && geteuid() == 0)
        argv.insert(argv.end(), kAsNobody.begin(), kAsNobody.end());
    argv.push_back(Copy().path());
    argv.insert(argv.end(), invocation.arguments.begin(), invocation.arguments.end());
    return argv;
}

[[noreturn]] void Exec(const std::vector<std::string>& words,
                       const std::vector<std::string>& environment) {
    for (const std::string& assignment : environment) putenv(strdup(assignment.c_str()));
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(126);
}

std::map<int, std::string> ReadCells(const std::string& path) {
    std::map<int, std::string> cells;
    std::ifstream file(path);
    for (std::string name, hex; file >> name >> hex;)
        cells[std::stoi(name.substr(std::string("hidraw").size()))] = hex;
    return cells;
}

bool Drain(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) into.append(buffer, static_cast<std::size_t>(got));
    return got > 0;
}

int Status(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

constexpr int kGiveUpMs = 60000;

// With pipes: the input written at once, both outputs read to their end.
void RunWithPipes(const Invocation& invocation, const std::vector<std::string>& argv, Run& run) {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) return;
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);  // a group of its own, so that a run that hangs is killed whole
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        Exec(argv, invocation.environment);
    }
    setpgid(child, child);  // as the child does, whichever comes first
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!invocation.input.empty())
        (void)!write(in[1], invocation.input.data(), invocation.input.size());
    close(in[1]);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    bool terminated = false;
    const auto start = std::chrono::steady_clock::now();
    for (int open = 2; open > 0;) {
        if (poll(fds, 2, 1000) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            if (!Drain(fds[i].fd, i == 0 ? run.out : run.err)) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
        const bool due = !invocation.terminateOn.empty() &&
                         (run.out + run.err).find(invocation.terminateOn) != std::string::npos;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        // SIGTERM to keyadmin-cli itself: virtual-hidraw may not yet have
        // set up passing it on, and would end without its cells.
        if (due && !terminated) {
            const pid_t command = CommandOf(child);
            kill(command > 0 ? command : -child, SIGTERM);
            terminated = true;
        }
        if (ms > kGiveUpMs) kill(-child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = Status(status);
}

// With a pty: each typed line is sent once a prompt (a text ending in ": ")
// has been shown since the last one.
void RunWithPty(const Invocation& invocation, const std::vector<std::string>& argv, Run& run) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) Exec(argv, invocation.environment);
    std::size_t next = 0, seen = 0;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        pollfd fd{terminal, POLLIN, 0};
        if (poll(&fd, 1, 1000) < 0) break;
        if ((fd.revents & (POLLIN | POLLHUP)) && !Drain(terminal, run.out)) break;
        const std::size_t prompt = run.out.rfind(": ");
        if (next < invocation.typed.size() && prompt != std::string::npos && prompt >= seen &&
            prompt + 2 == run.out.size()) {
            const std::string line = invocation.typed[next++] + "\n";
            (void)!write(terminal, line.data(), line.size());
            seen = prompt + 2;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(kGiveUpMs)) {
            kill(-child, SIGKILL);  // forkpty made it a session, and a group, of its own
            break;
        }
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = Status(status);
}

}  // namespace

pid_t CommandOf(pid_t virtualHidraw) {
    const std::string pid = std::to_string(virtualHidraw);
    std::ifstream children("/proc/" + pid + "/task/" + pid + "/children");
    pid_t command = 0;
    children >> command;
    return command;
}

Run RunCli(const Invocation& invocation) {
    Run run;
    const std::string cells = Copy().File("cells-" + std::to_string(getpid()));
    std::filesystem::remove(cells);
    const std::vector<std::string> argv = CommandLine(invocation, cells);
    const auto start = std::chrono::steady_clock::now();
    if (invocation.typed.empty())
        RunWithPipes(invocation, argv, run);
    else
        RunWithPty(invocation, argv, run);
    run.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    run.cells = ReadCells(cells);
    std::filesystem::remove(cells);
    return run;
}

std::string FieldOf(const std::string& cellsHex, int base) {
    std::string field;
    for (int i = 0; i < 12; ++i)
        field.push_back(
            static_cast<char>(std::stoi(cellsHex.substr((base + i) * 2, 2), nullptr, 16)));
    return field;
}

}  // namespace clirun
