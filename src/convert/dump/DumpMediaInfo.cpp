// Media information: the text that stands beside the player: a title, the player's
// key help, and what the file's own headers give cheaply: MP3 tags, WMA attributes,
// the format and length of a WAV file, the text events of a MIDI file.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "platform/ByteOrder.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/MediaTags.h"

namespace {

constexpr int64_t kTagTail = 2000;

std::string KeyHelp(int recordRate) {
  std::string help =
      "\n -------------------------------------------------------------\n"
      " PLAY/STOP = P(space)  PAUSE = B   FF/REW = ->/<-   VOL = < >"
      "\n REC /STOP = R(space)  Rec.frequency = F ";
  help += recordRate == 48 ? "( 48.0 kHz)" : "( 44.1 kHz)";
  return help;
}

using plat::ReadLE32;

// The format and length of a RIFF wave header. The length is taken from the RIFF
// size; a header that gives no rate, channels or sample size shows a length of 0.
std::string WaveInfo(const uint8_t* d, int64_t n) {
  if (n < 36) return "";
  const int64_t riffSize = ReadLE32(d + 4);
  const int channels = d[22];
  const int64_t frequency = ReadLE32(d + 24);
  const int bits = d[34];
  const int64_t bitsPerSecond = frequency * bits * channels;
  const int64_t ms = bitsPerSecond > 0 ? riffSize * 8000 / bitsPerSecond : 0;
  const int64_t seconds = ms / 1000;
  const int rest = static_cast<int>(ms % 1000);
  char text[256];
  std::snprintf(text, sizeof text,
                "\n\n Sampling frequency %" PRId64 " Hz\n bit/sample %d\n channel number %d\n length %" PRId64
                ".%03d sec ( %" PRId64 " min %" PRId64 ".%03d sec)",
                frequency, bits, channels, seconds, rest, seconds / 60, seconds % 60, rest);
  return text;
}

}  // namespace

void CQelDoc::DumpMediaInfo(DumpCall& call) {
  const uint8_t* d = m_pRawData;
  const int64_t n = call.bytesRead;
  std::string info = call.kind == kKindMidi ? " MIDI  file" : call.kind == kKindWave || call.kind == kKindAudio ? " Audio file" : " Video file";
  info += KeyHelp(m_nRecordRate);
  if (call.kind == kKindMidi) info += "\r\n\r\n";

  if (call.kind == kKindAudio && call.Ends("mp3")) {
    std::vector<uint8_t> tail(kTagTail);
    int64_t tailLen = 0;
    plat::File again;
    if (again.Open(call.path, plat::File::Mode::Read)) {
      const int64_t length = std::max<int64_t>(again.GetLength(), 0);
      const int64_t from = std::max<int64_t>(length - kTagTail, 0);
      if (again.Seek(from, plat::File::Origin::Begin) == from) tailLen = std::max<int64_t>(again.Read(tail.data(), kTagTail), 0);
    }
    info += "\n\n" + ReadMp3Tags(d, n, tail.data(), tailLen);
  } else if (call.kind == kKindAudio) {
    info += "\n\n" + ReadAsfAttributes(d, n);
  } else if (call.Ends("wav")) {
    info += WaveInfo(d, n);
  }
  ConvAppend(info);

  // MIDI text events: FF, a type from 1 to 9, a length byte and the text.
  if (call.kind == kKindMidi) {
    const int64_t end = std::min(call.readSize, n);
    for (int64_t i = 1; i + 2 < end; ++i) {
      if (d[i] != 0xFF || d[i + 1] < 1 || d[i + 1] > 9) continue;
      const int64_t len = std::min<int64_t>(d[i + 2], end - (i + 3));
      ConvAppend(" ");
      ConvAppend(std::string_view(reinterpret_cast<const char*>(d + i + 3), static_cast<size_t>(len)));
      ConvAppend("\r\n");
      i += 2 + len;
    }
  }
}
