// The pictures of a video file, decoded on demand by FFmpeg's libavcodec and scaled
// by libswscale: the picture shown at a time is the last frame that starts at or
// before it (the first frame before the first starts). Moving forward decodes on;
// moving back, or far ahead, seeks to the key frame before the time first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/Gdi.h"

namespace plat {

struct FfmpegFunctions;
enum class FfmpegOpen;

class VideoDecoder {
 public:
  VideoDecoder();
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // Opens the first video stream of a file; false when there is none, it cannot be
  // decoded or FFmpeg cannot be loaded (*why, when given, says which).
  bool Open(const std::string& hostPath, FfmpegOpen* why = nullptr);
  // The picture at ms scaled to width x height (0x00RRGGBB rows, bicubic), or
  // nullptr when there is none. The result stays valid until the next call.
  const Bitmap* PictureAt(int64_t ms, int width, int height);

 private:
  struct Context;
  bool MoveTo(int64_t us);
  bool DecodeNext();
  void TakeNext();
  bool SeekBefore(int64_t us);
  void Close();

  const FfmpegFunctions* av_ = nullptr;
  std::unique_ptr<Context> cx_;
  Bitmap picture_;
  int64_t pictureUs_ = -1;  // the frame the picture was made from, and at what size
  bool scaled_ = false;
};

}  // namespace plat
