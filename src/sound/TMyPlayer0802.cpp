#include "TMyPlayer0802.h"

TMyPlayer0802::TMyPlayer0802() {}

TMyPlayer0802::~TMyPlayer0802() { Release(); }

bool TMyPlayer0802::Release() {
    delete[] FileData;
    FileData = nullptr;
    delete[] FrameOffsets;
    FrameOffsets = nullptr;
    return true;
}

bool TMyPlayer0802::Open() { return false; }

bool TMyPlayer0802::IsFrameHeader(int32_t position, int32_t& padding) {
    (void)position;
    padding = 0;
    return false;
}

float TMyPlayer0802::FrameLength() const { return 0.0f; }

void TMyPlayer0802::Decode(int16_t** samples, TProgressSink* progress, int32_t* sampleCount) {
    (void)progress;
    *samples = new int16_t[0];
    *sampleCount = 0;
}

int32_t TMyPlayer0802::DecodeFrames(int32_t first, int32_t end) {
    (void)first;
    (void)end;
    return 0;
}
