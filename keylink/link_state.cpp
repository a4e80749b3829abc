// The module-level link state and the report buffers it owns.
#include <algorithm>

#include "key_link.h"
#include "key_transport.h"

KeyLink keyLink;
DeviceProfile deviceProfile = kFactoryProfile;

namespace {

std::array<std::uint8_t, kMaxReportLength> outputReportBytes{};
std::array<std::uint8_t, kMaxReportLength> inputReportBytes{};

// The first `length` bytes of `bytes`, zero-filled; all of them if it is longer.
std::span<std::uint8_t> ZeroedPart(std::span<std::uint8_t> bytes, std::uint16_t length) {
    std::fill(bytes.begin(), bytes.end(), 0);
    return bytes.first(std::min<std::size_t>(length, bytes.size()));
}

void CopyPath(KeyPath& to, std::string_view path) {
    const std::size_t length = std::min(path.size(), to.size() - 1);
    std::copy_n(path.data(), length, to.data());
    to[length] = '\0';
}

}  // namespace

bool ReportLengthsUsable(std::uint16_t inputLength, std::uint16_t outputLength) {
    return inputLength >= kMinInputReportLength && outputLength >= kMinOutputReportLength &&
           inputLength <= kMaxReportLength && outputLength <= kMaxReportLength;
}

void SizeReportBuffers(std::uint16_t inputLength, std::uint16_t outputLength) {
    keyLink.inputReportLength = inputLength;
    keyLink.outputReportLength = outputLength;
    keyLink.inputReport = ZeroedPart(inputReportBytes, inputLength);
    keyLink.outputReport = ZeroedPart(outputReportBytes, outputLength);
}

std::uint16_t ProfileProductId() {
    return static_cast<std::uint16_t>(deviceProfile.productIdHigh * 256 +
                                      deviceProfile.productIdLow);
}

void ChooseKeyPath(std::string_view path) {
    // The key open now may be at another path: the next operation opens anew.
    keyLink.serialRead = false;
    CopyPath(keyLink.chosenPath, path);
}

bool IsChosenKeyPath(const char* path) {
    const std::string_view chosen = keyLink.chosenPath.data();
    return chosen.empty() || chosen == path;
}

void SetFailedPath(std::string_view path) {
    CopyPath(keyLink.failedPath, path);
}
