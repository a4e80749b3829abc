// The testbed: umockdev's devices, the key models behind them and the thread
// that serves their reads and writes.
#include "testbed.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "key_file.h"
#include "key_file_lock.h"
#include "sysfs_description.h"
#include "udev_announcement.h"

namespace vhidraw {

namespace {

struct Device {
    int index = 0;
    int number = 0;  // its node: hidraw<number>
    DeviceOptions options;
    SysfsDevice sysfs;  // as it was described when it was plugged in
    std::optional<vkey::VirtualKey> key;
    vkey::KeyFileLock keyFileLock;  // held while the key is served from its file
    UMockdevIoctlBase* handler = nullptr;
    bool handling = false;  // the handler is attached to the node
    bool plugged = false;
    bool pulled = false;
    int master = -1;        // the node's pty's master: one byte in it per queued report
    int own = -1;           // the testbed's own open of the node: drains those bytes
    std::size_t rings = 0;  // bytes in the pty
    int watch = -1;         // of the node's opens
    int repliesDelivered = 0;
};

// umockdev serves the nodes' reads and writes on a thread of its own; the
// timers of devices that plug in or are pulled out later run on the
// testbed's; the functions of testbed.h on their callers'. One lock guards
// the devices and the events from all of them.
std::mutex lock;
UMockdevTestbed* testbed = nullptr;
GMainContext* timers = nullptr;
GMainLoop* loop = nullptr;
std::thread timerThread;
std::vector<std::unique_ptr<Device>> devices;
std::vector<Event> events;
int opens = -1;           // inotify: every open of a node is queued there at once
unsigned hidDevices = 0;  // HID devices added so far: each one's name has its number

void Record(const Device& device, EventKind kind, long result, const std::uint8_t* bytes,
            std::size_t size) {
    events.push_back({device.index, kind, result, std::vector<std::uint8_t>(bytes, bytes + size)});
}

// The opens queued since the last call, as events.
void TakeOpens() {
    alignas(inotify_event) char buffer[4096];
    ssize_t got;
    while ((got = read(opens, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            for (const auto& device : devices)
                if (device->watch == event->wd) Record(*device, EventKind::Open, 0, nullptr, 0);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

// Clients of other users must reach the testbed's sockets and files too, and
// a udev listener of theirs makes its socket in the testbed's folder.
void OpenToEveryone() {
    const std::string root = umockdev_testbed_get_root_dir(testbed);
    chmod(root.c_str(), 01777);
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(root + "/ioctl", ignored))
        if (entry.is_socket(ignored)) chmod(entry.path().c_str(), 0777);
}

// As many bytes in the pty as there are reports queued (one more for a
// device that wakes without reports). A byte written to the master reaches
// the node a moment later: it is waited for, so that a client's poll() after
// its write sees the report.
void SyncDoorbell(Device& device) {
    if (!device.key || device.pulled) return;
    const std::size_t queued =
        device.key->QueuedReplies() + (device.options.wakesWithoutReports ? 1 : 0);
    const char bell = 'r';
    for (; device.rings < queued; ++device.rings)
        if (write(device.master, &bell, 1) != 1) break;
    int arrived = 0;
    for (int wait = 0; wait < 10000; ++wait) {
        if (ioctl(device.own, FIONREAD, &arrived) != 0 ||
            static_cast<std::size_t>(arrived) >= device.rings)
            break;
        usleep(100);
    }
    char drained;
    for (; device.rings > queued; --device.rings)
        if (read(device.own, &drained, 1) != 1) break;
}

// Tells udev's listeners that the device's hidraw node came or went.
void Announce(const Device& device, const char* action) {
    vhidraw::Announce(umockdev_testbed_get_root_dir(testbed),
                      {action, device.sysfs.hidrawSyspath, "hidraw",
                       device.sysfs.node.substr(std::strlen("/dev/"))});
}

void Pull(Device& device) {
    if (!device.plugged || device.pulled) return;
    device.pulled = true;
    Announce(device, "remove");
    // Its opens so far are its own; a pty made later may be the same one.
    TakeOpens();
    inotify_rm_watch(opens, device.watch);
    device.watch = -1;
    if (device.key) device.key->Unplug();
    // Closing the master hangs the pty up; the testbed keeps the number.
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    dup2(null, device.master);
    close(null);
    close(device.own);
    device.own = -1;
    umockdev_testbed_remove_device(testbed, device.sysfs.hidrawSyspath.c_str());
    umockdev_testbed_remove_device(testbed, device.sysfs.hidSyspath.c_str());
}

long Write(Device& device, const std::uint8_t* bytes, std::size_t size) {
    if (device.pulled) return -ENODEV;
    // The HID core takes any report; the key reads only whole ones that
    // start with report ID 0, and ignores the rest.
    if (!device.key || size != device.options.outputLength || bytes[0] != 0)
        return static_cast<long>(size);
    if (!device.key->AcceptOutputReport(bytes, size)) {
        if (!device.key->plugged()) Pull(device);
        return -ENODEV;
    }
    SyncDoorbell(device);
    return static_cast<long>(size);
}

long Read(Device& device, std::uint8_t* buffer, std::size_t size) {
    if (device.pulled) return -EIO;
    if (!device.key) return -EAGAIN;
    const std::size_t length = device.options.inputLength;
    std::vector<std::uint8_t> report(length);
    const bool taken = length > 0 && device.key->TakeInputReport(report.data(), length);
    SyncDoorbell(device);
    if (!taken) return -EAGAIN;
    // hidraw gives the report without the report-ID byte, cut to the buffer.
    std::size_t delivered = length - 1;
    if (++device.repliesDelivered == device.options.shortReplyAfter + 1) --delivered;
    delivered = std::min(delivered, size);
    std::memcpy(buffer, report.data() + 1, delivered);
    return static_cast<long>(delivered);
}

void Complete(UMockdevIoctlClient* client, long result) {
    umockdev_ioctl_client_complete(client, result < 0 ? -1 : result, result < 0 ? -result : 0);
}

void AddTimer(int afterMs, GSourceFunc function, gpointer data) {
    GSource* timer = g_timeout_source_new(static_cast<guint>(afterMs));
    g_source_set_callback(timer, function, data, nullptr);
    g_source_attach(timer, timers);
    g_source_unref(timer);
}

struct HeldWrite {
    UMockdevIoctlClient* client;
    long result;
};

gboolean CompleteHeldWrite(gpointer data) {
    const auto* held = static_cast<HeldWrite*>(data);
    Complete(held->client, held->result);
    g_object_unref(held->client);
    delete held;
    return G_SOURCE_REMOVE;
}

gboolean OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    const std::lock_guard guard(lock);
    TakeOpens();
    Device& device = *static_cast<Device*>(data);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const long result = Write(device, arg->data, arg->data_len);
    Record(device, EventKind::Write, result, arg->data, arg->data_len);
    if (device.options.writeDelayMs > 0 && !device.pulled) {
        // The key has the report; the write comes back later.
        g_object_ref(client);
        AddTimer(device.options.writeDelayMs, CompleteHeldWrite, new HeldWrite{client, result});
    } else {
        Complete(client, result);
    }
    return TRUE;
}

// The client's memory an ioctl points to, `size` bytes of it; null when it
// cannot be reached.
UMockdevIoctlData* Pointee(UMockdevIoctlClient* client, std::size_t size) {
    return umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, nullptr);
}

// The ioctls of hidraw that tell what a node is: its IDs and its report
// descriptor, as the kernel answers them. Any other is left to umockdev,
// which fails it with ENOTTY.
gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    const std::lock_guard guard(lock);
    const Device& device = *static_cast<Device*>(data);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (request != HIDIOCGRAWINFO && request != HIDIOCGRDESCSIZE && request != HIDIOCGRDESC)
        return FALSE;
    if (device.pulled) {
        Complete(client, -ENODEV);
        return TRUE;
    }
    const std::vector<std::uint8_t> descriptor = ReportDescriptorOf(device.options);
    const std::size_t size = request == HIDIOCGRAWINFO     ? sizeof(hidraw_devinfo)
                             : request == HIDIOCGRDESCSIZE ? sizeof(int)
                                                           : sizeof(hidraw_report_descriptor);
    UMockdevIoctlData* to = Pointee(client, size);
    long result = to ? 0 : -EFAULT;
    if (to && request == HIDIOCGRAWINFO) {
        const hidraw_devinfo info{BUS_USB, static_cast<__s16>(device.options.vendor),
                                  static_cast<__s16>(device.options.product)};
        std::memcpy(to->data, &info, sizeof info);
    } else if (to && request == HIDIOCGRDESCSIZE) {
        const int length = static_cast<int>(descriptor.size());
        std::memcpy(to->data, &length, sizeof length);
    } else if (to) {
        std::uint32_t wanted = 0;
        std::memcpy(&wanted, to->data, sizeof wanted);
        if (wanted > HID_MAX_DESCRIPTOR_SIZE - 1) {
            result = -EINVAL;
        } else {
            std::memcpy(to->data + offsetof(hidraw_report_descriptor, value), descriptor.data(),
                        std::min<std::size_t>(wanted, descriptor.size()));
        }
    }
    Complete(client, result);
    if (to) g_object_unref(to);
    return TRUE;
}

gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    const std::lock_guard guard(lock);
    TakeOpens();
    Device& device = *static_cast<Device*>(data);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::vector<std::uint8_t> buffer(arg->data_len);
    const long result = Read(device, buffer.data(), buffer.size());
    if (result > 0) umockdev_ioctl_data_update(arg, 0, buffer.data(), static_cast<gint>(result));
    Record(device, EventKind::Read, result, buffer.data(), result > 0 ? result : 0);
    Complete(client, result);
    return TRUE;
}

// The node: a pty whose master the testbed keeps, in raw mode.
bool MakeNode(Device& device, std::string& error) {
    int slave = -1;
    std::array<char, 128> pty{};
    if (openpty(&device.master, &slave, pty.data(), nullptr, nullptr) != 0) {
        error = std::string("virtual-hidraw: no pty: ") + std::strerror(errno);
        return false;
    }
    close(slave);
    fcntl(device.master, F_SETFD, FD_CLOEXEC);
    termios raw{};
    tcgetattr(device.master, &raw);
    cfmakeraw(&raw);
    tcsetattr(device.master, TCSANOW, &raw);
    const std::filesystem::path node = TestbedRoot() + device.sysfs.node;
    std::error_code ignored;
    std::filesystem::create_directories(node.parent_path(), ignored);
    std::filesystem::remove(node, ignored);
    if (symlink(pty.data(), node.c_str()) != 0) {
        error = "virtual-hidraw: cannot make " + node.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string PtyOf(const Device& device) {
    std::error_code error;
    return std::filesystem::read_symlink(TestbedRoot() + device.sysfs.node, error).string();
}

// Frees the device's number for the one plugged in now: it must have been
// pulled out, and its handler leaves the node.
bool FreeNumber(int number, std::string& error) {
    for (auto& other : devices) {
        if (other->number != number || !other->plugged) continue;
        if (!other->pulled) {
            error = "virtual-hidraw: hidraw" + std::to_string(number) + " is in use";
            return false;
        }
        if (other->handling)
            umockdev_testbed_detach_ioctl(testbed, other->sysfs.node.c_str(), nullptr);
        other->handling = false;
    }
    return true;
}

bool Plug(Device& device, std::string& error) {
    if (!FreeNumber(device.number, error)) return false;
    device.sysfs = DescribeDevice(device.options, device.number, device.index + 1, ++hidDevices);
    GError* failure = nullptr;
    if (device.pulled) {
        // A pulled key plugged back in: a new connection (a new HID device)
        // of the same key, with the memory it had, its firmware started
        // afresh (a key that had fallen silent answers again).
        device.pulled = false;
        device.rings = 0;
        if (device.key) {
            device.key->Replug();
            device.key->SetSilent(false);
            device.key->SetTakingWrites(true);
        }
    }
    if (!umockdev_testbed_add_from_string(testbed, device.sysfs.description.c_str(), &failure)) {
        error = std::string("virtual-hidraw: ") + failure->message;
        g_error_free(failure);
        return false;
    }
    if (!MakeNode(device, error)) return false;
    const std::string pty = PtyOf(device);
    chmod(pty.c_str(), device.options.mode);
    // Opened past umockdev's preload library, when this process runs under
    // it: the library would otherwise pass this descriptor's reads and
    // ioctls to a handler of its own.
    device.own = static_cast<int>(
        syscall(SYS_openat, AT_FDCWD, pty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (device.own < 0 || (device.options.held && flock(device.own, LOCK_EX) != 0)) {
        error = "virtual-hidraw: cannot open " + pty + ": " + std::strerror(errno);
        return false;
    }
    device.watch = inotify_add_watch(opens, pty.c_str(), IN_OPEN);
    device.handler = umockdev_ioctl_base_new();
    g_signal_connect(device.handler, "handle-write", G_CALLBACK(OnWrite), &device);
    g_signal_connect(device.handler, "handle-read", G_CALLBACK(OnRead), &device);
    g_signal_connect(device.handler, "handle-ioctl", G_CALLBACK(OnIoctl), &device);
    if (!umockdev_testbed_attach_ioctl(testbed, device.sysfs.node.c_str(), device.handler,
                                       &failure)) {
        error = std::string("virtual-hidraw: ") + failure->message;
        g_error_free(failure);
        return false;
    }
    device.handling = true;
    OpenToEveryone();
    device.plugged = true;
    Announce(device, "add");
    return true;
}

gboolean PlugWhenDue(gpointer data) {
    const std::lock_guard guard(lock);
    std::string error;
    Device& device = *static_cast<Device*>(data);
    if (device.plugged) return G_SOURCE_REMOVE;  // plugged in already (PlugNow)
    if (!Plug(device, error)) g_printerr("%s\n", error.c_str());
    return G_SOURCE_REMOVE;
}

gboolean PullWhenDue(gpointer data) {
    const std::lock_guard guard(lock);
    Pull(*static_cast<Device*>(data));
    return G_SOURCE_REMOVE;
}

}  // namespace

bool StartTestbed(std::string& error) {
    testbed = umockdev_testbed_new();
    opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (!testbed || opens < 0) {
        error = "virtual-hidraw: umockdev could not make its testbed";
        return false;
    }
    OpenToEveryone();
    timers = g_main_context_new();
    loop = g_main_loop_new(timers, FALSE);
    timerThread = std::thread([] {
        g_main_context_push_thread_default(timers);
        g_main_loop_run(loop);
        g_main_context_pop_thread_default(timers);
    });
    return true;
}

void StopTestbed() {
    if (!testbed) return;
    // Quit from within the loop: it may not have started running yet.
    GSource* quit = g_idle_source_new();
    g_source_set_callback(
        quit,
        [](gpointer) -> gboolean {
            g_main_loop_quit(loop);
            return G_SOURCE_REMOVE;
        },
        nullptr, nullptr);
    g_source_attach(quit, timers);
    g_source_unref(quit);
    timerThread.join();
    g_main_loop_unref(loop);
    g_main_context_unref(timers);
    // umockdev's thread may be answering a client: the lock is not held
    // while the handlers are detached and the testbed goes.
    std::vector<std::unique_ptr<Device>> gone;
    {
        const std::lock_guard guard(lock);
        gone.swap(devices);
    }
    for (auto& device : gone)
        if (device->handling)
            umockdev_testbed_detach_ioctl(testbed, device->sysfs.node.c_str(), nullptr);
    g_object_unref(testbed);
    testbed = nullptr;
    const std::lock_guard guard(lock);
    for (auto& device : gone) {
        if (device->own >= 0) close(device->own);
        if (device->master >= 0) close(device->master);
        if (device->handler) g_object_unref(device->handler);
    }
    events.clear();
    close(opens);
    opens = -1;
    hidDevices = 0;
}

int AddDevice(const DeviceOptions& options, std::string& error) {
    auto device = std::make_unique<Device>();
    device->options = options;
    if (options.kind == DeviceKind::Key) {
        vkey::KeyContents contents = options.contents;
        if (!options.keyFile.empty()) {
            if (!vkey::OpenKeyFile(options.keyFile, options.newKeyFile, contents,
                                   device->keyFileLock, error)) {
                error = "virtual-hidraw: " + error;
                return -1;
            }
        }
        vkey::DeviceConfig config;
        config.vendorId = options.vendor;
        config.productId = options.product;
        config.inputReportLength = options.inputLength;
        config.outputReportLength = options.outputLength;
        device->key.emplace(contents, config);
        if (!options.keyFile.empty()) {
            // The file holds what the cells hold; a change that cannot be
            // saved is not made, and the key refuses the write.
            device->key->SetCellStore([path = options.keyFile](const vkey::KeyContents& after) {
                std::string why;
                if (vkey::SaveKeyFile(path, after, why)) return true;
                g_printerr("virtual-hidraw: %s; the key refuses the write\n", why.c_str());
                return false;
            });
        }
        if (options.unplugAfter != kNever) device->key->UnplugAfter(options.unplugAfter);
        if (options.silentAfter != kNever) device->key->SilentAfter(options.silentAfter);
    }
    const std::lock_guard guard(lock);
    device->index = static_cast<int>(devices.size());
    device->number = options.node != kNever ? options.node : device->index;
    devices.push_back(std::move(device));
    if (options.plugAfterMs == 0 && !Plug(*devices.back(), error)) return -1;
    return static_cast<int>(devices.size()) - 1;
}

void PlugLater() {
    const std::lock_guard guard(lock);
    for (auto& device : devices)
        if (device->options.plugAfterMs > 0 && !device->plugged)
            AddTimer(device->options.plugAfterMs, PlugWhenDue, device.get());
}

void Unplug(int device, int afterMs) {
    const std::lock_guard guard(lock);
    if (afterMs == 0)
        Pull(*devices.at(device));
    else
        AddTimer(afterMs, PullWhenDue, devices.at(device).get());
}

int DeviceCount() {
    const std::lock_guard guard(lock);
    return static_cast<int>(devices.size());
}

bool PlugNow(int device, std::string& error) {
    const std::lock_guard guard(lock);
    if (device < 0 || device >= static_cast<int>(devices.size())) {
        error = "virtual-hidraw: no device " + std::to_string(device);
        return false;
    }
    Device& plugged = *devices[device];
    if (plugged.plugged && !plugged.pulled) return true;
    return Plug(plugged, error);
}

bool WithKey(int device, void (*change)(vkey::VirtualKey& key)) {
    const std::lock_guard guard(lock);
    if (device < 0 || device >= static_cast<int>(devices.size()) || !devices[device]->key)
        return false;
    change(*devices[device]->key);
    return true;
}

bool Plugged(int device) {
    const std::lock_guard guard(lock);
    return devices.at(device)->plugged && !devices.at(device)->pulled;
}

std::vector<Event> Events() {
    const std::lock_guard guard(lock);
    TakeOpens();
    return events;
}

std::string EventLines() {
    const std::vector<Event> all = Events();
    std::vector<int> numbers;
    {
        const std::lock_guard guard(lock);
        for (const auto& device : devices) numbers.push_back(device->number);
    }
    std::string lines;
    for (const Event& event : all) {
        lines += "hidraw" + std::to_string(numbers.at(event.device));
        if (event.kind == EventKind::Open) {
            lines += " open\n";
            continue;
        }
        lines += event.kind == EventKind::Write ? " write " : " read ";
        lines += event.result >= 0 ? std::to_string(event.result)
                                   : std::string(strerrorname_np(static_cast<int>(-event.result)));
        lines += "\n";
    }
    return lines;
}

std::string CellLines() {
    const std::lock_guard guard(lock);
    std::string lines;
    for (const auto& device : devices) {
        if (!device->key) continue;
        const auto& cells = device->key->contents().cells;
        lines += "hidraw" + std::to_string(device->number) + " " +
                 vkey::Hex(cells.data(), cells.size()) + "\n";
    }
    return lines;
}

std::string TestbedRoot() {
    return testbed ? umockdev_testbed_get_root_dir(testbed) : "";
}

}  // namespace vhidraw
