// The longest the window freezes: for each operation, the time from the
// click to the end of the operation when the key falls silent, stops taking
// output reports, or is pulled out, at each of the operation's exchanges in
// turn. Runs the key administration through the real HID transport against
// the virtual-key server, under Wine; the goal is at most one timeout (about
// 3 s) in every case. Run from bin/ through the tree's wine-run; the tests
// never run it. A full run takes about 13 minutes (every silent or hung
// case costs a timeout); a stride of n tries every n-th exchange only.
//
//   freeze_benchmark [stride]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_admin_window.h"
#include "key_admin.h"
#include "key_link.h"
#include "virtual_key_server.h"

namespace {

struct Operation {
    const char* name;
    const char* key;  // add-key options
    void (*form)();
    int (*run)();
    int exchanges;  // when the key answers throughout
};

const Operation kOperations[] = {
    {"refresh", "key-password=secret login-id=alice login-password=hunter2", [] {},
     [] { return RefreshKeyStatus(); }, 18},
    {"display", "key-password=secret login-id=alice login-password=hunter2",
     [] { fakewin::ViewForm("secret"); }, [] { return ShowLoginPassword(nullptr); }, 25},
    {"login-change", "key-password=secret login-id=alice login-password=hunter2",
     [] { fakewin::LoginChangeForm("secret", "newlogin"); }, [] { return ChangePassword(nullptr); },
     26},
    {"key-change", "key-password=secret login-id=alice login-password=hunter2",
     [] { fakewin::KeyChangeForm("secret", "newkey", "newkey"); },
     [] { return ChangePassword(nullptr); }, 26},
    {"first-key", "", [] { fakewin::KeyChangeForm("", "first", "first"); },
     [] { return ChangePassword(nullptr); }, 26},
};

const char* const kFaults[] = {"silent-after", "hang-writes-after", "unplug-after"};

bool Control(const std::string& request, std::string* reply = nullptr) {
    const std::string answer = server::Request(request);
    if (reply) *reply = answer;
    if (vhid::ReplyOk(answer)) return true;
    std::fprintf(stderr, "%s -> %s\n", request.c_str(), answer.c_str());
    return false;
}

// Milliseconds from the click to the end of the operation, with the fault
// striking after `answered` exchanges; negative when the server failed.
double Freeze(const Operation& operation, const char* fault, int answered) {
    std::string reply;
    if (!Control("clear") || !Control(std::string("add-key ") + operation.key, &reply)) return -1;
    const std::string id = server::IdOf(reply);
    fakewin::ResetWindow();
    ForgetKeyPasswordRepair();
    operation.form();
    if (!Control(std::string(fault) + " " + id + " " + std::to_string(answered))) return -1;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    operation.run();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
}

}  // namespace

int main(int argc, char** argv) {
    const int stride = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    if (!server::Start(false)) {
        std::fprintf(stderr, "no virtual-key server\n");
        return 1;
    }
    std::printf("%-13s %-18s %5s %10s %10s %12s %s\n", "operation", "fault", "cases", "median ms",
                "worst ms", "worst after", "over 3.5 s");
    double worstOfAll = 0;
    int overAll = 0;
    bool ok = true;
    for (const Operation& operation : kOperations) {
        for (const char* fault : kFaults) {
            std::vector<double> times;
            int worstAfter = 0, over = 0;
            for (int answered = 0; ok && answered < operation.exchanges; answered += stride) {
                const double ms = Freeze(operation, fault, answered);
                if (ms < 0) ok = false;
                if (!times.empty() && ms > *std::max_element(times.begin(), times.end()))
                    worstAfter = answered;
                times.push_back(ms);
                over += ms > 3500 ? 1 : 0;
            }
            if (!ok) break;
            std::vector<double> sorted = times;
            std::sort(sorted.begin(), sorted.end());
            std::printf("%-13s %-18s %5zu %10.0f %10.0f %12d %d\n", operation.name, fault,
                        sorted.size(), sorted[sorted.size() / 2], sorted.back(), worstAfter, over);
            std::fflush(stdout);
            worstOfAll = std::max(worstOfAll, sorted.back());
            overAll += over;
        }
    }
    std::printf("worst freeze %.0f ms; cases over 3.5 s: %d\n", worstOfAll, overAll);
    OpenKey(kKeyGeneration);
    Control("clear");
    server::Stop();
    return ok && overAll == 0 ? 0 : 1;
}
