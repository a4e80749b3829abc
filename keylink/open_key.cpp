// Opening the key: every administrative operation starts here.
#include "key_link.h"
#include "link_internals.h"

std::uint16_t OpenKey(std::uint8_t generation) {
    if (generation < 8 || generation > 15) return 0;
    deviceProfile.productIdHigh =
        static_cast<std::uint8_t>((generation << 4) | (deviceProfile.productIdHigh & 0x0F));
    if (DiscoverExpectedKey() != 1) {
        keyLink.openedFlag = 0;
        return 0;
    }
    keyLink.openedFlag = kOpenedFlagValue;
    return ProfileProductId();
}
