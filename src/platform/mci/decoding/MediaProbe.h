// What the media devices need to know of a file before playing it, read through
// FFmpeg's libavformat: the length as the container gives it, the first audio
// stream's rate and channels, the first video stream's size and frame rate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace plat {

enum class FfmpegOpen;

struct MediaInfo {
  int64_t lengthMs = 0;      // the container's duration truncated to ms; 0 when unknown
  bool hasAudio = false;
  int sampleRate = 0;
  int channels = 0;
  bool hasVideo = false;
  int width = 0;
  int height = 0;
  int frameRateMilli = 0;    // frames per 1,000 seconds; 0 when the file gives none
};

// Nothing when FFmpeg cannot open or read the file in time or cannot be loaded, or
// the path is not a regular file (*why, when given, says which; hostPath is a host path).
std::optional<MediaInfo> ProbeMedia(const std::string& hostPath, FfmpegOpen* why = nullptr);

}  // namespace plat
