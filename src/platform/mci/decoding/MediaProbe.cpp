// The length is AVFormatContext::duration, the value ffprobe prints as the format's
// duration, truncated to milliseconds; a missing or negative duration is 0 and a
// huge one is cut at the int range the callers keep it in. A frame rate comes from
// the stream's average rate, else its base rate; one that is 0 or absurd is 0.
#include "platform/mci/decoding/MediaProbe.h"

#include <climits>

#include "platform/mci/decoding/FfmpegStream.h"

namespace plat {
namespace {

constexpr int64_t kMaxLengthMs = INT_MAX;
constexpr int kMaxSide = 65535;

int FrameRateMilli(const AVStream* stream) {
  AVRational rate = stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) return 0;
  const int64_t milli = static_cast<int64_t>(rate.num) * 1000 / rate.den;
  return milli > 0 && milli <= 1000 * 1000 ? static_cast<int>(milli) : 0;
}

}  // namespace

std::optional<MediaInfo> ProbeMedia(const std::string& hostPath, FfmpegOpen* why) {
  FfmpegOpen unused = FfmpegOpen::Ok;
  FfmpegOpen& result = why ? *why : unused;
  result = FfmpegOpen::Unreadable;
  const FfmpegFunctions* av = Ffmpeg();
  if (!av) return std::nullopt;
  AVFormatContext* format = nullptr;
  FfmpegDeadline deadline;
  result = OpenFfmpegFormat(*av, hostPath, deadline, &format);
  if (result != FfmpegOpen::Ok) return std::nullopt;
  MediaInfo info;
  if (format->duration != AV_NOPTS_VALUE && format->duration > 0) {
    info.lengthMs = std::min<int64_t>(format->duration / 1000, kMaxLengthMs);
  }
  const int audio = av->av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (audio >= 0) {
    const AVCodecParameters* par = format->streams[audio]->codecpar;
    info.hasAudio = par->sample_rate > 0 && par->ch_layout.nb_channels > 0;
    info.sampleRate = par->sample_rate;
    info.channels = par->ch_layout.nb_channels;
  }
  const int video = av->av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video >= 0 && !(format->streams[video]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
    const AVStream* stream = format->streams[video];
    info.hasVideo = stream->codecpar->width > 0 && stream->codecpar->height > 0;
    info.width = std::min(std::max(stream->codecpar->width, 0), kMaxSide);
    info.height = std::min(std::max(stream->codecpar->height, 0), kMaxSide);
    info.frameRateMilli = FrameRateMilli(stream);
  }
  av->avformat_close_input(&format);
  return info;
}

}  // namespace plat
