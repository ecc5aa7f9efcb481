// What the sound and the picture decoders share: a file's best stream of a kind
// opened with its decoder, and the decoder fed its next packet, in FFmpeg's
// demux-and-decode order (at the end of the file the decoder is drained with an
// empty packet). Every FFmpeg call's result is checked.
#pragma once

#include <string>

#include "platform/mci/FfmpegLibrary.h"

namespace plat {

struct FfmpegStream {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  int stream = -1;
  bool flushed = false;  // the empty packet that drains the decoder was sent
};

// Opens the best stream of the type; false (with everything freed) when the file
// cannot be read, has no such stream or its decoder cannot be opened.
bool OpenFfmpegStream(const FfmpegFunctions& av, const std::string& hostPath, AVMediaType type, FfmpegStream& s);
void CloseFfmpegStream(const FfmpegFunctions& av, FfmpegStream& s);
// Sends the stream's next packet to the decoder, or the drain at the end of the
// file; false when the decoder refuses it (the stream ends there).
bool FeedFfmpegStream(const FfmpegFunctions& av, FfmpegStream& s);

}  // namespace plat
