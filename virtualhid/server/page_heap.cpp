// The server's heap checker, on when VIRTUALHID_PAGE_HEAP is set (to
// anything but "0"): every allocation gets pages of its own, ending just
// before a page that is never accessible, and freed pages are never handed
// out again but made inaccessible. A use after free, a double free or a
// write past the end of a block then faults at once (or is caught when the
// block is freed), and the server reports where and exits with code 3.
//
// It replaces the global operator new and delete of the server, so every
// container and string the server uses goes through it. Without the
// setting they are plain malloc and free.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kAlignment = 16;
constexpr std::size_t kHeader = 16;  // in front of every block
constexpr std::size_t kChunk = std::size_t{256} << 20;
constexpr std::uint32_t kLive = 0x4C495645, kFreed = 0x46524545;
constexpr unsigned char kSlack = 0xAB;  // between the block's end and its page's

struct Header {
    std::uint32_t magic;
    std::uint32_t reserved;
    std::size_t size;
};
static_assert(sizeof(Header) <= kHeader);

[[noreturn]] void Report(const char* what, const void* address) {
    std::fprintf(stderr, "virtualhid-server: heap checker: %s (block %p)\n", what, address);
    std::fflush(stderr);
    ExitProcess(3);
}

LONG WINAPI ReportFault(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
        std::fprintf(stderr,
                     "virtualhid-server: heap checker: %s of %p (freed or past a block's end), "
                     "instruction at %p\n",
                     record.ExceptionInformation[0] ? "write" : "read",
                     reinterpret_cast<void*>(record.ExceptionInformation[1]),
                     record.ExceptionAddress);
    } else {
        std::fprintf(stderr, "virtualhid-server: exception %08lx at %p\n", record.ExceptionCode,
                     record.ExceptionAddress);
    }
    std::fflush(stderr);
    ExitProcess(3);
}

bool PageHeapOn() {
    static const bool on = [] {
        char value[8];
        const DWORD length = GetEnvironmentVariableA("VIRTUALHID_PAGE_HEAP", value, sizeof value);
        const bool wanted = length > 0 && length < sizeof value && value[0] != '0';
        if (wanted) SetUnhandledExceptionFilter(ReportFault);
        return wanted;
    }();
    return on;
}

std::size_t PageSize() {
    static const std::size_t size = [] {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<std::size_t>(info.dwPageSize);
    }();
    return size;
}

std::size_t RoundUp(std::size_t value, std::size_t step) {
    return (value + step - 1) / step * step;
}

// Pages of the block: header and data, rounded up.
std::size_t DataPages(std::size_t size) {
    return RoundUp(kHeader + RoundUp(size, kAlignment), PageSize()) / PageSize();
}

// Address space handed out in order and never reused.
char* chunkNext = nullptr;
char* chunkEnd = nullptr;

void* PageAllocate(std::size_t size) {
    const std::size_t page = PageSize();
    const std::size_t dataBytes = DataPages(size) * page;
    const std::size_t span = dataBytes + page;  // the page after stays inaccessible
    if (!chunkNext || static_cast<std::size_t>(chunkEnd - chunkNext) < span) {
        const std::size_t reserve = span > kChunk ? span : kChunk;
        chunkNext = static_cast<char*>(VirtualAlloc(nullptr, reserve, MEM_RESERVE, PAGE_NOACCESS));
        if (!chunkNext) Report("out of address space", nullptr);
        chunkEnd = chunkNext + reserve;
    }
    char* base = chunkNext;
    chunkNext += span;
    if (!VirtualAlloc(base, dataBytes, MEM_COMMIT, PAGE_READWRITE))
        Report("out of memory", nullptr);
    const std::size_t rounded = RoundUp(size, kAlignment);
    char* block = base + dataBytes - rounded;
    auto* header = reinterpret_cast<Header*>(block - kHeader);
    header->magic = kLive;
    header->size = size;
    std::memset(block + size, kSlack, rounded - size);
    return block;
}

void PageFree(void* pointer) {
    char* block = static_cast<char*>(pointer);
    auto* header = reinterpret_cast<Header*>(block - kHeader);
    if (header->magic != kLive) Report("free of a block that is not live", pointer);
    const std::size_t size = header->size;
    const std::size_t rounded = RoundUp(size, kAlignment);
    for (std::size_t i = size; i < rounded; ++i)
        if (static_cast<unsigned char>(block[i]) != kSlack)
            Report("write past the end of a block", pointer);
    header->magic = kFreed;
    const std::size_t dataBytes = DataPages(size) * PageSize();
    VirtualFree(block + rounded - dataBytes, dataBytes, MEM_DECOMMIT);
}

void* Allocate(std::size_t size) {
    if (PageHeapOn()) return PageAllocate(size);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void Free(void* pointer) {
    if (!pointer) return;
    if (PageHeapOn()) {
        PageFree(pointer);
    } else {
        std::free(pointer);
    }
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return PageHeapOn() ? PageAllocate(size) : std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* pointer) noexcept {
    Free(pointer);
}
void operator delete[](void* pointer) noexcept {
    Free(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    Free(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    Free(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
    Free(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    Free(pointer);
}
