// The text road: a text file shown as its text. The file's bytes (at most the call's
// input volume) are converted from UTF-8, EUC-JP or JIS when the reading form asks,
// and at most the output volume of them is shown, with the note of a cut. A file of
// /proc tells no length (lengthless) and is read to its end within the volume.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/FrameHost.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/Alloc.h"
#include "base/ConvertStatus.h"
#include "base/SjisLeadByte.h"
#include "convert/charmap/TextDecode.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/DumpSteps.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

// A text cut inside a double-byte character ends before its lead byte.
std::string_view WholeCharacters(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) i += IsSjisLeadByte(static_cast<uint8_t>(text[i])) ? 2 : 1;
  return i > text.size() ? text.substr(0, text.size() - 1) : text;
}

// What the reading form turned into '?', said on the message stream: the text alone
// would not tell a '?' of the file from a character lost.
std::string ReplacedCharactersNote(size_t count, int form) {
  const char* name = form == 1 ? "UTF-8" : form == 2 ? "EUC-JP" : "JIS";
  return plat::Utf8ToCp932Lossy(std::to_string(count) + (count == 1 ? " character" : " characters") + " of the " + name +
                                " text shown as '?': Shift-JIS (CP932) cannot express " + (count == 1 ? "it" : "them") +
                                ", or the bytes are not " + name + " (readform=" + std::to_string(form) + ")");
}

}  // namespace

ConvertStatus DumpTextFile(CQelDoc& doc, DumpCall& call) {
  if (!call.file.Open(call.path, plat::File::Mode::Read)) return ConvertStatus::Message(IDS_CANNOT_OPEN);
  const int volume = std::max(call.inputVolume, 0);
  int64_t length = call.file.GetLength();
  std::vector<char> bytes;
  const int64_t want = std::min<int64_t>(length, volume);
  if (!TryResize(bytes, static_cast<size_t>(std::max<int64_t>(want, 0)), &doc.m_allocHook)) {
    return ConvertStatus::OutOfMemory(" 051");
  }
  int64_t got = call.file.Read(bytes.data(), want);
  if (call.lengthless) {
    if (std::optional<std::string> all = plat::ReadToEnd(call.file, int64_t{volume} + 1)) {
      length = static_cast<int64_t>(all->size());
      all->resize(std::min<size_t>(all->size(), static_cast<size_t>(volume)));
      bytes.assign(all->begin(), all->end());
      got = static_cast<int64_t>(bytes.size());
    }
  }
  call.file.Close();
  const std::string_view raw(bytes.data(), static_cast<size_t>(std::max<int64_t>(got, 0)));
  // Shift-JIS text is shown from the bytes read, without a copy between.
  const bool decode = doc.m_nReadTextForm != 0 && !doc.m_bSjisFixed;
  std::string decoded;
  size_t replaced = 0;
  if (decode) decoded = DecodeTextCounting(doc, raw, doc.m_nReadTextForm, replaced);
  if (replaced > 0) AfxNote(ReplacedCharactersNote(replaced, doc.m_nReadTextForm));
  const std::string_view text = decode ? std::string_view(decoded) : raw;
  doc.m_nConvPos = 0;
  // At most the output volume is shown; the buffer's margin holds the note. The text
  // ends at the output volume when it is over it, whatever the input cut.
  const size_t outLimit = static_cast<size_t>(std::max(doc.m_nOutDataLimit, 0));
  const bool outputCut = text.size() > outLimit;
  doc.ConvAppend(WholeCharacters(text.substr(0, std::min(text.size(), outLimit))));
  doc.AppendTextCutNote(volume, got < length && !outputCut, outputCut);
  return ConvertStatus::Ok();
}
