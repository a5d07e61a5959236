#include "TMyPlayer0802.h"

int32_t TMyPlayer0802::SetPlayBound(TPlayBound which, int32_t position) {
    (void)which;
    (void)position;
    return 0;
}

void TMyPlayer0802::PlaySegment() {}

bool TMyPlayer0802::PlayWave(int32_t size) {
    (void)size;
    return false;
}
