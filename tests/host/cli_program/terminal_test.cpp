// keyadmin-cli at a terminal of its own (a pty), run as a shell runs a
// foreground job: in a process group of its own, which Ctrl-Z can stop. The
// test does the rest of the shell's part: it reads the terminal's modes from
// its other end while the job is stopped, gives it its echo back as a shell
// does, and lets the job go on.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "reachable_copy.h"

namespace {

using clirun::CommandOf;  // a process's first child

const std::string kOneKey =
    "--key serial=4b41d001 key-password=1234 login-id=demo-user login-password=demo-pass1";

class TerminalSession {
public:
    // `jobControl`: the job in a process group of its own; otherwise in the
    // terminal's session leader's, which nothing outside the session stops.
    explicit TerminalSession(const std::vector<std::string>& arguments, bool asNobody = false,
                             bool jobControl = true) {
        static const ReachableCopy copy(KEYADMIN_CLI, "keyadmin-cli-terminal");
        std::vector<std::string> words{VIRTUAL_HIDRAW};
        std::istringstream devices(kOneKey);
        for (std::string word; devices >> word;) words.push_back(word);
        words.push_back("--");
        if (asNobody) words.insert(words.end(), kAsNobody.begin(), kAsNobody.end());
        words.push_back(copy.path());
        words.insert(words.end(), arguments.begin(), arguments.end());
        jobControl_ = jobControl;
        leader_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (leader_ == 0) jobControl ? Lead(words) : Exec(words);
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    }
    ~TerminalSession() {
        if (leader_ > 0) {  // still running: the whole session ends
            const pid_t job = CommandOf(leader_);
            kill(-leader_, SIGKILL);
            if (job > 0) kill(-job, SIGKILL);
            waitpid(leader_, nullptr, 0);
        }
        close(master_);
        close(slave_);
    }

    // Waits until the terminal has shown `text` `times` times.
    bool WaitFor(const std::string& text, int times = 1) {
        for (const auto end = Deadline(); std::chrono::steady_clock::now() < end; Read()) {
            int seen = 0;
            for (std::size_t at = 0; (at = shown_.find(text, at)) != std::string::npos; ++at)
                ++seen;
            if (seen >= times) return true;
        }
        return false;
    }

    void Type(const std::string& keys) { (void)!write(master_, keys.data(), keys.size()); }

    bool Echoes() const {
        termios modes{};
        return tcgetattr(slave_, &modes) == 0 && (modes.c_lflag & ECHO) != 0;
    }

    // The shell's terminal modes, while it has the terminal: echo on.
    void EchoAsTheShellDoes() const {
        termios modes{};
        tcgetattr(slave_, &modes);
        modes.c_lflag |= ECHO;
        tcsetattr(slave_, TCSANOW, &modes);
    }

    pid_t Cli() const { return jobControl_ ? CommandOf(CommandOf(leader_)) : CommandOf(leader_); }

    bool WaitUntilStopped() const {
        for (const auto end = Deadline(); std::chrono::steady_clock::now() < end;) {
            std::ifstream stat("/proc/" + std::to_string(Cli()) + "/stat");
            const std::string text{std::istreambuf_iterator<char>(stat), {}};
            const std::size_t name = text.rfind(')');
            if (name != std::string::npos && text.compare(name, 3, ") T") == 0) return true;
            usleep(20000);
        }
        return false;
    }

    // A signal to the job, as kill %1 or fg (SIGCONT) sends it.
    void Signal(int signal) const { kill(-CommandOf(leader_), signal); }

    // The job's exit code, once it has ended (-1 when it did not); what it
    // showed until then.
    int Finish() {
        int status = 0;
        for (const auto end = Deadline(); leader_ > 0 && std::chrono::steady_clock::now() < end;
             Read())
            if (waitpid(leader_, &status, WNOHANG) == leader_) leader_ = -1;
        Read();
        return leader_ < 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& Shown() const { return shown_; }

private:
    // What the terminal shows within 0.1 s.
    void Read() {
        pollfd fd{master_, POLLIN, 0};
        char buffer[512];
        const ssize_t got = poll(&fd, 1, 100) > 0 ? read(master_, buffer, sizeof buffer) : 0;
        if (got > 0) shown_.append(buffer, static_cast<std::size_t>(got));
    }

    static std::chrono::steady_clock::time_point Deadline() {
        return std::chrono::steady_clock::now() + std::chrono::seconds(20);
    }

    [[noreturn]] static void Exec(const std::vector<std::string>& words) {
        std::vector<char*> argv;
        for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(126);
    }

    // The shell: the job in a process group of its own, in the foreground.
    [[noreturn]] static void Lead(const std::vector<std::string>& words) {
        const pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0);
            signal(SIGTTOU, SIG_IGN);
            tcsetpgrp(STDIN_FILENO, getpid());
            signal(SIGTTOU, SIG_DFL);
            Exec(words);
        }
        int status = 0;
        while (waitpid(job, &status, 0) < 0 && errno == EINTR) {
        }
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }

    int master_ = -1;
    int slave_ = -1;
    pid_t leader_ = -1;
    bool jobControl_ = true;
    std::string shown_;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Stopped at a prompt, by Ctrl-Z (the echo back while it is stopped) or by
// SIGSTOP, which it cannot see, while the shell gives the terminal its echo
// back; or Ctrl-Z where nothing stops it. Going on, it asks again, without
// echo, for the whole password.
enum class Stop : std::uint8_t { CtrlZ, Sigstop, CtrlZWithoutJobControl };

class StopTest : public ::testing::TestWithParam<Stop> {};

TEST_P(StopTest, AtAPrompt) {
    TerminalSession session({"set-key-password"}, false,
                            GetParam() != Stop::CtrlZWithoutJobControl);
    ASSERT_TRUE(session.WaitFor("Current key password: ")) << session.Shown();
    EXPECT_FALSE(session.Echoes());
    session.Type("12");  // part of the password
    GetParam() == Stop::Sigstop ? session.Signal(SIGSTOP) : session.Type("\x1A");
    if (GetParam() != Stop::CtrlZWithoutJobControl) {
        ASSERT_TRUE(session.WaitUntilStopped());
        EXPECT_EQ(GetParam() == Stop::CtrlZ, session.Echoes()) << "the echo while it is stopped";
        session.EchoAsTheShellDoes();
        session.Signal(SIGCONT);
    }
    ASSERT_TRUE(session.WaitFor("Current key password: ", 2)) << session.Shown();
    EXPECT_FALSE(session.Echoes());
    session.Type("1234\n");
    ASSERT_TRUE(session.WaitFor("New key password: ")) << session.Shown();
    session.Type("secret-9\n");
    ASSERT_TRUE(session.WaitFor("New key password again: ")) << session.Shown();
    session.Type("secret-9\n");
    EXPECT_EQ(0, session.Finish()) << session.Shown();
    EXPECT_TRUE(Has(session.Shown(), "the key password was changed")) << session.Shown();
    EXPECT_FALSE(Has(session.Shown(), "secret-9")) << session.Shown();
}

void PrintTo(Stop stop, std::ostream* out) {
    constexpr const char* kNames[] = {"CtrlZ", "Sigstop", "CtrlZWithoutJobControl"};
    *out << kNames[static_cast<int>(stop)];
}

std::string NameOf(const ::testing::TestParamInfo<Stop>& info) {
    return ::testing::PrintToString(info.param);
}

INSTANTIATE_TEST_SUITE_P(By, StopTest,
                         ::testing::Values(Stop::CtrlZ, Stop::Sigstop,
                                           Stop::CtrlZWithoutJobControl),
                         NameOf);

TEST(TerminalTest, CtrlBackslashAtAPromptEndsTheCommandWithTheEchoBack) {
    TerminalSession session({"show-login-password"});
    ASSERT_TRUE(session.WaitFor("Key password: ")) << session.Shown();
    session.Type("12\x1C");
    EXPECT_EQ(130, session.Finish()) << session.Shown();
    EXPECT_TRUE(session.Echoes());
}

// A process that cannot be dumped leaves no core file, and /proc gives its
// memory to root: no other user may trace it or read it.
TEST(TerminalTest, NoOtherUserMayReadItsMemory) {
    if (geteuid() != 0) GTEST_SKIP() << "it runs as another user: run as root";
    TerminalSession session({"show-login-password"}, true);
    ASSERT_TRUE(session.WaitFor("Key password: ")) << session.Shown();
    const std::string process = "/proc/" + std::to_string(session.Cli());
    std::ifstream status(process + "/status");
    const std::string text{std::istreambuf_iterator<char>(status), {}};
    EXPECT_TRUE(Has(text, "\nUid:\t65534\t")) << text;
    struct stat owner {};
    ASSERT_EQ(0, stat((process + "/mem").c_str(), &owner));
    EXPECT_EQ(0u, owner.st_uid);
    session.Type("1234\n");
    EXPECT_EQ(0, session.Finish()) << session.Shown();
}

}  // namespace
