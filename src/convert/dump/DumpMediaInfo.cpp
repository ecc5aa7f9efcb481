// Media information: the text that stands beside the player: a title, the player's
// key help, and what the file's own headers give cheaply: MP3 tags, WMA attributes,
// the format and length of a WAV file, the text events of a MIDI file. Only the
// bytes the dump read are looked at (the last 2,000 bytes of an MP3 are read again
// for its ID3v1 tag); every field is read through a cursor, so a short or lying
// header gives zeros and a shorter text, never a read outside the bytes.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "base/ByteCursor.h"
#include "base/DisplayWriter.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/DumpSteps.h"
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

// The format and length of a RIFF wave header: the RIFF size at byte 4, the channel
// count at 22, the sampling rate at 24 and the bits per sample at 34 (the canonical
// layout, without walking the chunks). The length is taken from the RIFF size; a
// header that gives no rate, channels or sample size shows a length of 0.
std::string WaveInfo(const ByteCursor& d) {
  if (d.Size() < 36) return "";
  const int64_t riffSize = d.PeekU32LE(4);
  const int channels = d.PeekU8(22);
  const int64_t frequency = d.PeekU32LE(24);
  const int bits = d.PeekU8(34);
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

// MIDI text events: FF, a type from 1 to 9, a length byte and the text; anywhere in
// the bytes, without walking the tracks. A text cut by the end is shown to there.
void AppendMidiTexts(DisplayWriter& out, const ByteCursor& d) {
  for (int64_t i = 1; i + 2 < d.Size(); ++i) {
    const uint8_t type = d.PeekU8(i + 1);
    if (d.PeekU8(i) != 0xFF || type < 1 || type > 9) continue;
    const std::span<const uint8_t> bytes = d.PeekBytes(i + 3, d.PeekU8(i + 2));
    out.Append(" ");
    out.Append(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    out.Append("\r\n");
    i += 2 + static_cast<int64_t>(bytes.size());
  }
}

}  // namespace

ConvertStatus DumpMediaInfo(CQelDoc& doc, DumpCall& call) {
  const ByteCursor head(doc.Convert().m_pRawData, call.bytesRead);
  std::string info = call.kind == kKindMidi ? " MIDI  file" : call.kind == kKindWave || call.kind == kKindAudio ? " Audio file" : " Video file";
  info += KeyHelp(doc.RecordRate());
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
    info += "\n\n" + ReadMp3Tags(head, ByteCursor(tail.data(), tailLen));
  } else if (call.kind == kKindAudio) {
    info += "\n\n" + ReadAsfAttributes(head);
  } else if (call.Ends("wav")) {
    info += WaveInfo(head);
  }
  DisplayWriter out(doc.m_pConvBuf, doc.m_nConvCap, doc.m_nConvPos);
  out.Append(info);
  if (call.kind == kKindMidi) AppendMidiTexts(out, ByteCursor(doc.Convert().m_pRawData, std::min(call.readSize, call.bytesRead)));
  return ConvertStatus::Ok();
}
