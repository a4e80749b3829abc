// The module-level link state and the report buffers it owns.
#include "key_link.h"
#include "key_transport.h"

KeyLink keyLink;
DeviceProfile deviceProfile = kFactoryProfile;

bool ReportLengthsUsable(std::uint16_t inputLength, std::uint16_t outputLength) {
    return inputLength >= kMinInputReportLength && outputLength >= kMinOutputReportLength;
}

void SizeReportBuffers(std::uint16_t inputLength, std::uint16_t outputLength) {
    keyLink.inputReportLength = inputLength;
    keyLink.outputReportLength = outputLength;
    // assign() keeps the capacity, so rediscovering the same key allocates nothing.
    keyLink.inputReport.assign(inputLength, 0);
    keyLink.outputReport.assign(outputLength, 0);
}

std::uint16_t ProfileProductId() {
    return static_cast<std::uint16_t>(deviceProfile.productIdHigh * 256 +
                                      deviceProfile.productIdLow);
}

void ChooseKeyPath(const std::string& path) {
    keyLink.chosenPath = path;
}

bool IsChosenKeyPath(const char* path) {
    return keyLink.chosenPath.empty() || keyLink.chosenPath == path;
}
