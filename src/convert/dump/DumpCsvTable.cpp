// CSV to table text: the bytes are rewritten one for one into the display text, the
// field separators becoming the column mark (byte 6) that the table display splits
// on. A quoted field keeps its commas and stays on one line; a quote left open is
// given up after 90 commas, so a stray quote cannot swallow the rest of the file.
// The text is the file up to the input volume (the read size) and the output volume,
// whichever is smaller; a file cut there ends with the note that says at which. The
// display buffer is made as large as that text (plus room for the note).
#include <algorithm>
#include <array>

#include "app/QelDoc.h"
#include "base/CheckedSize.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "base/SjisLeadByte.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/DumpSteps.h"

namespace {

constexpr int64_t kCsvRoom = 100000;
constexpr int kQuotedCommaLimit = 90;  // an unclosed quote is given up after this many commas
constexpr char kColumnMark = 6;
constexpr size_t kChunk = 65536;
constexpr int kFailureRoom = 256;

// The output goes out in chunks; the last byte of a chunk stays behind, since the
// byte after it may still change it.
class CsvOutput {
 public:
  explicit CsvOutput(DisplayWriter& out) : out_(out) {}
  void Put(char c) {
    if (count_ == chunk_.size()) {
      out_.Append(std::string_view(chunk_.data(), count_ - 1));
      chunk_[0] = chunk_[count_ - 1];
      count_ = 1;
    }
    chunk_[count_++] = c;
  }
  // The byte before the one being read, if any.
  char* Last() { return count_ > 0 ? &chunk_[count_ - 1] : nullptr; }
  void Flush() {
    out_.Append(std::string_view(chunk_.data(), count_));
    count_ = 0;
  }

 private:
  DisplayWriter& out_;
  std::array<char, kChunk> chunk_;
  size_t count_ = 0;
};

}  // namespace

ConvertStatus DumpCsvTable(CQelDoc& doc, DumpCall& call) {
  doc.m_nConvPos = 0;  // a failure's message is the whole text
  const int64_t output = std::max(doc.m_nOutDataLimit, 0);
  const int64_t n = std::max<int64_t>(std::min({call.bytesRead, call.bufferSize, call.readSize, output}), 0);
  const auto need = CheckedSize(n, 1, kCsvRoom, INT32_MAX);
  if (!need) return ConvertStatus::OutOfMemory(" 016");
  if (*need > doc.m_nConvCap) {
    if (doc.m_pConvBuf != doc.m_convStore.data()) return ConvertStatus::OutOfMemory(" 016");
    // The old buffer holds nothing of this call: it goes before the new one comes,
    // so that the two are never held together. A refusal leaves room for the message.
    doc.m_convStore = ZeroedVector<char>();
    doc.m_pConvBuf = nullptr;
    doc.m_nConvCap = doc.m_nConvPos = 0;
    if (!doc.AllocateConvBuffer(static_cast<int>(*need))) {
      doc.AllocateConvBuffer(kFailureRoom);
      return ConvertStatus::OutOfMemory(" 016");
    }
  }

  doc.m_nConvPos = 0;
  DisplayWriter writer = doc.ConvWriter();
  CsvOutput out(writer);
  const uint8_t* in = doc.Convert().m_pRawData;
  bool quoted = false;
  bool lead = false;
  int commas = 0;
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t b = in[i];
    char* last = out.Last();
    if (lead && b < 0x40 && last) *last = ' ';
    char c = static_cast<char>(b);
    switch (b) {
      case '"':
        quoted = !quoted;
        break;
      case '\r':
      case '\n':
        if (quoted) c = ':';
        break;
      case '\t':
        c = '~';
        break;
      case ',':
        if (!quoted) {
          c = kColumnMark;
          commas = 0;
        } else if (++commas <= kQuotedCommaLimit) {
          if (last && *last == '"') c = kColumnMark;
        } else {
          if (last) *last = '\r';
          c = '\n';
          quoted = false;
          commas = 0;
        }
        break;
      default:
        break;
    }
    out.Put(c);
    lead = !lead && IsLeadByte80To9FE0ToEFFAToFC(b);
  }
  // A cut in a double-byte character: its lead byte shows as a blank, as before any
  // control byte.
  if (lead && n < call.fileLength) {
    if (char* last = out.Last()) *last = ' ';
  }
  out.Flush();
  writer.TerminateTable();
  // Partial only when cut: a file shown whole is not (the frame marked every file
  // longer than the output volume).
  doc.m_bPartialLoad = writer.Cut() || call.fileLength > n ? 1 : 0;
  const bool inputCut = n == call.readSize && call.fileLength > n;
  doc.AppendTextCutNote(call.inputVolume, inputCut, !inputCut && n == output && call.fileLength > n);
  return ConvertStatus::Ok();
}
