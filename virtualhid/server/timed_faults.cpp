// The timed faults: a list of events, each due at a time of the server's
// tick clock, and per device the countdowns of the faults that strike on a
// later output report.
#include "timed_faults.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace vhid {

namespace {

enum class EventKind : std::uint8_t {
    ForeignReply,  // one foreign reply; again after `period` when it is set
    TakeWrite,     // the held output report on `instance`
    DeliverReply,  // `report`, held back
};

struct Event {
    ULONGLONG due = 0;
    EventKind kind = EventKind::ForeignReply;
    int device = 0;
    DWORD period = 0;
    PipeInstance* instance = nullptr;
    std::vector<std::uint8_t> report;
};

struct Countdown {
    int reports = 0;  // output reports still taken as usual
    DWORD delayMs = 0;
    int foreign = 0;
};

std::vector<Event> events;
std::map<int, Countdown> lateWrites, lateReplies;  // by device id

void Schedule(Event event, DWORD inMs) {
    event.due = GetTickCount64() + inMs;
    events.push_back(std::move(event));
}

// True when the countdown of the device reaches the report that comes now;
// the fault is then used up, and `fault` holds it.
bool Strikes(std::map<int, Countdown>& countdowns, const Device& device, Countdown& fault) {
    const auto it = countdowns.find(device.id);
    if (it == countdowns.end()) return false;
    if (it->second.reports-- > 0) return false;
    fault = it->second;
    countdowns.erase(it);
    return true;
}

void SendForeignReply(Device& device) {
    device.key.QueueStaleReplies(1);
    ++device.foreignReplies;
    DeliverReplies(device);
}

void Run(Event& event) {
    Device* device = FindDevice(event.device);
    if (!device || !device->plugged) return;
    switch (event.kind) {
        case EventKind::ForeignReply:
            SendForeignReply(*device);
            if (event.period) Schedule(event, event.period);
            break;
        case EventKind::TakeWrite:
            TakeHeldWrite(event.instance);
            break;
        case EventKind::DeliverReply:
            HandOver(*device, event.report);
            break;
    }
}

}  // namespace

void SendForeignRepliesEvery(Device& device, DWORD periodMs) {
    events.erase(
        std::remove_if(events.begin(), events.end(),
                       [&](const Event& e) { return e.device == device.id && e.period != 0; }),
        events.end());
    if (periodMs == 0) return;
    Event event;
    event.device = device.id;
    event.period = periodMs;
    Schedule(event, periodMs);
}

void TakeWriteLate(Device& device, int reports, DWORD delayMs) {
    lateWrites[device.id] = Countdown{reports, delayMs, 0};
}

void DeliverRepliesLate(Device& device, int reports, DWORD delayMs, int foreign) {
    lateReplies[device.id] = Countdown{reports, delayMs, foreign};
}

bool HoldsWrite(PipeInstance* p) {
    Countdown fault;
    if (!Strikes(lateWrites, *p->device, fault)) return false;
    Event event;
    event.kind = EventKind::TakeWrite;
    event.device = p->device->id;
    event.instance = p;
    Schedule(event, fault.delayMs);
    return true;
}

bool HoldsReplies(Device& device) {
    Countdown fault;
    if (!Strikes(lateReplies, device, fault)) return false;
    for (int i = 1; i <= fault.foreign; ++i) {
        Event event;
        event.device = device.id;
        Schedule(event, static_cast<DWORD>(fault.delayMs * std::uint64_t(i) / (fault.foreign + 1)));
    }
    for (std::vector<std::uint8_t>& reply : TakeReplies(device)) {
        Event event;
        event.kind = EventKind::DeliverReply;
        event.device = device.id;
        event.report = std::move(reply);
        Schedule(event, fault.delayMs);
    }
    return true;
}

void ForgetInstance(const PipeInstance* p) {
    events.erase(std::remove_if(events.begin(), events.end(),
                                [p](const Event& e) { return e.instance == p; }),
                 events.end());
}

void ForgetDevice(const Device& device) {
    events.erase(std::remove_if(events.begin(), events.end(),
                                [&](const Event& e) { return e.device == device.id; }),
                 events.end());
    lateWrites.erase(device.id);
    lateReplies.erase(device.id);
}

DWORD NextFaultDueIn() {
    if (events.empty()) return INFINITE;
    ULONGLONG next = events.front().due;
    for (const Event& event : events) next = std::min(next, event.due);
    const ULONGLONG now = GetTickCount64();
    return next <= now ? 0 : static_cast<DWORD>(next - now);
}

void RunDueFaults() {
    // One at a time, the earliest first: running one may schedule others or
    // drop some (a write taken may drop its handle).
    for (;;) {
        const auto next =
            std::min_element(events.begin(), events.end(),
                             [](const Event& a, const Event& b) { return a.due < b.due; });
        if (next == events.end() || next->due > GetTickCount64()) return;
        Event event = std::move(*next);
        events.erase(next);
        Run(event);
    }
}

}  // namespace vhid
