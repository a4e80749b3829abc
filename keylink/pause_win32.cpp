// The pause between two reads of one exchange.
#include <windows.h>

#include "key_transport.h"

void PauseBetweenReads() {
    Sleep(kPauseBetweenReadsMs);
}
