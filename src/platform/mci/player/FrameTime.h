// Frames of a video at a constant rate, given in frames per 1,000 seconds as the
// "nominal frame rate" status gives it. A step goes from the frame shown at a
// position to the next (previous) frame by its index: adding a rounded frame length
// to the time drifts, and at 30 frames a second a 33 ms step can land in the same
// frame again.
#pragma once

#include <algorithm>
#include <cstdint>

namespace plat {

// The index of the frame shown at ms (the last frame that starts at or before it).
inline int64_t FrameIndexAt(int64_t ms, int64_t rateMilli) { return ms * rateMilli / 1000000; }

// The first whole millisecond at which frame `index` shows.
inline int64_t FrameStartMs(int64_t index, int64_t rateMilli) { return (index * 1000000 + rateMilli - 1) / rateMilli; }

// The start of the frame `frames` away from the one shown at ms (never before 0).
inline int64_t StepFrames(int64_t ms, int64_t frames, int64_t rateMilli) {
  return FrameStartMs(std::max<int64_t>(FrameIndexAt(ms, rateMilli) + frames, 0), rateMilli);
}

}  // namespace plat
