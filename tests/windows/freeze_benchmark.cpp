// The longest the window freezes: for each operation, the time from the
// click to the end of the operation when a fault strikes at each of the
// operation's exchanges in turn: the key falls silent, stops taking output
// reports, or is pulled out; it falls silent while foreign replies come
// every 2.9 s; it takes the write only after 2.9 s and then does not answer;
// or its reply comes at 2.9 s, after 30 foreign ones. Runs the key
// administration through the real HID transport against the virtual-key
// server, under Wine; the goal is that no operation takes longer than its
// normal time (measured first, without a fault) plus one limit of the
// exchange and a margin (3.1 s) in any case. Run from bin/ through the
// tree's wine-run; the tests never run it. A full run takes about half an
// hour (nearly every case costs a limit); a stride of n tries every n-th
// exchange only, and an operation's or a fault's name runs only those.
//
//   freeze_benchmark [stride [operation [fault]]]
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

// A fault: the requests that set it up, with {id} for the key's device id
// and {n} for the exchanges answered before it strikes.
struct Fault {
    const char* name;
    std::vector<const char*> requests;
};

const Fault kFaults[] = {
    {"silent", {"silent-after {id} {n}"}},
    {"hang-writes", {"hang-writes-after {id} {n}"}},
    {"unplug", {"unplug-after {id} {n}"}},
    {"foreign-2.9s-silent", {"silent-after {id} {n}", "foreign-every {id} 2900"}},
    {"late-write-silent", {"late-write-after {id} {n} 2900", "silent-after {id} {n}"}},
    {"late-reply-30", {"late-reply-after {id} {n} 2900 foreign=30"}},
};

constexpr double kAllowanceMs = 3100;  // one limit of the exchange and a margin

std::string Expand(std::string text, const std::string& id, int answered) {
    for (const auto& [token, value] :
         {std::pair<std::string, std::string>{"{id}", id}, {"{n}", std::to_string(answered)}}) {
        for (auto at = text.find(token); at != std::string::npos; at = text.find(token))
            text.replace(at, token.size(), value);
    }
    return text;
}

bool Control(const std::string& request, std::string* reply = nullptr) {
    const std::string answer = server::Request(request);
    if (reply) *reply = answer;
    if (vhid::ReplyOk(answer)) return true;
    std::fprintf(stderr, "%s -> %s\n", request.c_str(), answer.c_str());
    return false;
}

// Milliseconds from the click to the end of the operation, with the fault
// (none when null) striking after `answered` exchanges; negative when the
// server failed.
double Freeze(const Operation& operation, const Fault* fault, int answered) {
    std::string reply;
    if (!Control("clear") || !Control(std::string("add-key ") + operation.key, &reply)) return -1;
    const std::string id = server::IdOf(reply);
    fakewin::ResetWindow();
    ForgetKeyPasswordRepair();
    operation.form();
    if (fault) {
        for (const char* request : fault->requests)
            if (!Control(Expand(request, id, answered))) return -1;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    operation.run();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int stride = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const std::string onlyOperation = argc > 2 ? argv[2] : "", onlyFault = argc > 3 ? argv[3] : "";
    if (!server::Start(false)) {
        std::fprintf(stderr, "no virtual-key server\n");
        return 1;
    }
    std::printf("%-13s %-20s %5s %10s %10s %12s %s\n", "operation", "fault", "cases", "median ms",
                "worst ms", "worst after", "over normal + 3.1 s");
    double worstOverNormal = -1e9;
    int overAll = 0;
    bool ok = true;
    for (const Operation& operation : kOperations) {
        if (!onlyOperation.empty() && onlyOperation != operation.name) continue;
        std::vector<double> normal;
        for (int run = 0; ok && run < 5; ++run) {
            normal.push_back(Freeze(operation, nullptr, 0));
            ok = normal.back() >= 0;
        }
        if (!ok) break;
        const double normalMs = Median(normal);
        std::printf("%-13s %-20s %5zu %10.0f %10.0f %12s\n", operation.name, "(none: normal)",
                    normal.size(), normalMs, *std::max_element(normal.begin(), normal.end()), "");
        for (const Fault& fault : kFaults) {
            if (!onlyFault.empty() && onlyFault != fault.name) continue;
            std::vector<double> times;
            int worstAfter = 0, over = 0;
            for (int answered = 0; ok && answered < operation.exchanges; answered += stride) {
                const double ms = Freeze(operation, &fault, answered);
                if (ms < 0) ok = false;
                if (!times.empty() && ms > *std::max_element(times.begin(), times.end()))
                    worstAfter = answered;
                times.push_back(ms);
                over += ms > normalMs + kAllowanceMs ? 1 : 0;
            }
            if (!ok) break;
            const double worst = *std::max_element(times.begin(), times.end());
            std::printf("%-13s %-20s %5zu %10.0f %10.0f %12d %d\n", operation.name, fault.name,
                        times.size(), Median(times), worst, worstAfter, over);
            std::fflush(stdout);
            worstOverNormal = std::max(worstOverNormal, worst - normalMs);
            overAll += over;
        }
    }
    std::printf("worst freeze %.0f ms over the normal time; cases over normal + 3.1 s: %d\n",
                worstOverNormal, overAll);
    OpenKey(kKeyGeneration);
    Control("clear");
    server::Stop();
    return ok && overAll == 0 ? 0 : 1;
}
