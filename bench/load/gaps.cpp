// The frame-by-frame walk of capture and render that counts dropouts.
#include "bench/load/gaps.h"

#include <algorithm>

namespace load_bench {
namespace {

bool MatchesAt(const std::vector<uint32_t>& capture, std::size_t c, const std::vector<uint32_t>& render,
               std::size_t r, int frames) {
    const auto n = static_cast<std::size_t>(frames);
    if (c + n > capture.size() || r + n > render.size()) return false;
    return std::equal(capture.begin() + static_cast<std::ptrdiff_t>(c),
                      capture.begin() + static_cast<std::ptrdiff_t>(c + n),
                      render.begin() + static_cast<std::ptrdiff_t>(r));
}

}  // namespace

Dropouts FindDropouts(const std::vector<uint32_t>& capture, const std::vector<uint32_t>& render,
                      int64_t maxLost, int matchFrames) {
    Dropouts result;
    std::size_t c = 0;
    std::size_t r = 0;
    while (c < capture.size() && r < render.size()) {
        if (capture[c] == render[r]) {
            ++c;
            ++r;
            continue;
        }
        ++result.count;
        result.at.push_back(static_cast<int64_t>(r));
        // Inserted silence: skip it, the render continues where it was.
        std::size_t zeros = 0;
        while (c + zeros < capture.size() && capture[c + zeros] == 0) ++zeros;
        c += zeros;
        result.frames += static_cast<int64_t>(zeros);
        if (MatchesAt(capture, c, render, r, matchFrames)) continue;
        // Lost frames: find where the render picks up again.
        const std::size_t limit = std::min(render.size(), r + static_cast<std::size_t>(maxLost) + 1);
        std::size_t found = limit;
        for (std::size_t ahead = r; ahead < limit; ++ahead) {
            if (MatchesAt(capture, c, render, ahead, matchFrames)) {
                found = ahead;
                break;
            }
        }
        if (found == limit) {
            result.lostTrack = c + static_cast<std::size_t>(matchFrames) <= capture.size();
            break;
        }
        result.frames += static_cast<int64_t>(found - r);
        r = found;
    }
    result.framesCompared = static_cast<int64_t>(r);
    return result;
}

}  // namespace load_bench
