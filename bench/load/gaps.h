// Dropouts of a captured note against its offline render: runs of frames the
// capture inserted (silence while the render sounds) or lost (the render jumps).
#pragma once

#include <cstdint>
#include <vector>

namespace load_bench {

struct Dropouts {
    int count = 0;               // separate gaps
    int64_t frames = 0;          // inserted plus lost frames
    int64_t framesCompared = 0;  // render frames walked through
    bool lostTrack = false;      // the capture matched the render nowhere ahead
    std::vector<int64_t> at;     // render frame where each gap starts
};

// Frames are 32-bit words (left and right 16-bit samples). Both sequences start
// at the note's first sounding frame. A frame that differs starts a gap: zero
// frames there are inserted silence; otherwise the render is searched up to
// `maxLost` frames ahead for the next `matchFrames` captured frames.
Dropouts FindDropouts(const std::vector<uint32_t>& capture, const std::vector<uint32_t>& render,
                      int64_t maxLost, int matchFrames);

}  // namespace load_bench
