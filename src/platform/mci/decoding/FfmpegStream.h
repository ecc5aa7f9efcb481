// What the sound and the picture decoders share: a file's best stream of a kind
// opened with its decoder, and the decoder fed its next packet, in FFmpeg's
// demux-and-decode order (at the end of the file the decoder is drained with an
// empty packet). Every FFmpeg call's result is checked.
// Every open is guarded: a path that is not a regular file (a named pipe, a device)
// is refused before libavformat sees it, since opening a pipe waits for a writer
// without end; the open and the stream probe together get a deadline through
// libavformat's interrupt callback, since a file can make its chunk scan read
// gigabytes of nothing.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/mci/decoding/FfmpegLibrary.h"

namespace plat {

// What opening a file through libavformat came to.
enum class FfmpegOpen { Ok, NotAFile, TimedOut, Unreadable };

// The moment the interrupt callback stops libavformat; the callback reads it for
// as long as the format context lives, so it lives as long.
struct FfmpegDeadline {
  std::chrono::steady_clock::time_point until = std::chrono::steady_clock::time_point::max();
  bool expired = false;
};

// Opens the container and probes its streams before the deadline; on Ok *format
// is open and the deadline lifted (later reads are the player's own pace).
FfmpegOpen OpenFfmpegFormat(const FfmpegFunctions& av, const std::string& hostPath, FfmpegDeadline& deadline,
                            AVFormatContext** format);

struct FfmpegStream {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  int stream = -1;
  bool flushed = false;  // the empty packet that drains the decoder was sent
  std::unique_ptr<FfmpegDeadline> deadline;
};

// Opens the best stream of the type; anything but Ok (with everything freed) when
// the file cannot be read in time, has no such stream or its decoder cannot be opened.
FfmpegOpen OpenFfmpegStream(const FfmpegFunctions& av, const std::string& hostPath, AVMediaType type, FfmpegStream& s);
void CloseFfmpegStream(const FfmpegFunctions& av, FfmpegStream& s);
// Sends the stream's next packet to the decoder, or the drain at the end of the
// file; false when the decoder refuses it (the stream ends there).
bool FeedFfmpegStream(const FfmpegFunctions& av, FfmpegStream& s);

}  // namespace plat
