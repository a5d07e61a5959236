#pragma once
// The length of a recording on the timeline, as the editor's decoding lays it out, without
// decoding the whole recording.

#include <cstdint>

class TMyPlayer0802;

// SampleCount that Decode would produce for a player whose Open succeeded: the frame duration is
// measured on the same frames with the same arithmetic, and only those frames are decoded. The
// player's decoder state moves on; Open it again before a Decode.
int32_t RecordingPositions(TMyPlayer0802& player);
