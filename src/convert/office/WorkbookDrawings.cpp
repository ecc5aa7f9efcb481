// The drawings of a binary workbook: the drawing group's picture store gives each
// picture's kind; a shape's client anchor places it on its sheet; a picture shape
// becomes a labelled object cell ("[Image1]JPG"), a text object (TXO, its text in the
// continuation record after it) a text box at its shape's anchor. The OfficeArt
// records are searched inside the record's own bytes only.
#include <algorithm>

#include "app/QelDoc.h"
#include "convert/office/RawImage.h"
#include "convert/office/SheetTables.h"
#include "convert/office/WorkbookWalk.h"
#include "platform/CodePage.h"

namespace {

constexpr uint16_t kBlipStoreEntry = 0xF007;
constexpr uint16_t kProperties = 0xF00B;
constexpr uint16_t kClientAnchor = 0xF010;
constexpr int kMaxPictures = 1024;

}  // namespace

// The picture store: one kind byte (the Windows blip type) per entry, in order.
void WorkbookWalk::DrawingGroup(const ByteCursor& record) {
  const int64_t n = record.Size();
  for (int64_t at = 0; at + 9 <= n && static_cast<int>(pictureKinds_.size()) < kMaxPictures; ++at) {
    if (record.PeekU16LE(at + 2) == kBlipStoreEntry && (record.PeekU8(at) & 0x0F) == 0x02) pictureKinds_.push_back(record.PeekU8(at + 8));
  }
}

// The OfficeArt records are found by their type at any offset of the record's bytes.
void WorkbookWalk::Drawing(const ByteCursor& record) {
  const int64_t n = record.Size();
  int picture = 0;
  bool anchored = false;
  for (int64_t at = 0; at + 8 <= n; ++at) {
    const uint16_t type = record.PeekU16LE(at + 2);
    const uint32_t length = record.PeekU32LE(at + 4);
    if (type == kClientAnchor && length >= 18) {
      const ByteCursor a = record.Window(at + 8, 18);
      if (a.Failed()) continue;
      anchor_ = Anchor{a.PeekU16LE(2), a.PeekU16LE(6), a.PeekU16LE(10), a.PeekU16LE(14), a.PeekU16LE(12), a.PeekU16LE(16)};
      anchored = true;
    } else if (type == kProperties && (record.PeekU8(at) & 0x0F) == 0x03) {
      const int count = record.PeekU16LE(at) >> 4;
      ByteCursor props = record.Window(at + 8, n - at - 8);
      for (int k = 0; k < count && props.Has(6); ++k) {
        const uint16_t id = props.U16LE();
        const uint32_t value = props.U32LE();
        if ((id & 0x3FFF) == 0x0104) picture = static_cast<int>(std::min<uint32_t>(value, 4096));
      }
    }
  }
  if (!anchored) return;
  anchorFresh_ = true;
  if (picture >= 1 && picture <= 511) {
    const uint8_t kind = picture <= static_cast<int>(pictureKinds_.size()) ? pictureKinds_[picture - 1] : 0;
    std::string label;
    if (kind == 5) label = "[Image" + std::to_string(++picturesShown_) + "]JPG";
    else if (kind == 6) label = "[Image" + std::to_string(++picturesShown_) + "]PNG";
    else label = "[Object]";
    AddBox(label);
    anchorFresh_ = false;
  }
}

// A text object: its characters follow in the next record (a continuation), a flags
// byte first (bit 0: 16-bit characters).
void WorkbookWalk::TextObject(const ByteCursor& record, int64_t next) {
  if (record.Size() < 12) return;
  const int chars = record.PeekU16LE(10);
  const int64_t limit = std::min<int64_t>(doc_.m_nRawLen, static_cast<int64_t>(doc_.m_rawStore.size()));
  const ByteCursor image = RawImageOf(doc_).Window(0, limit);
  if (chars == 0 || next + 5 > limit || image.PeekU16LE(next) != 0x003C) return;
  const int64_t length = image.PeekU16LE(next + 2);
  ByteCursor c = image.Window(next + 4, std::min<int64_t>(length, limit - next - 4));
  const bool wide = c.U8() & 1;
  std::string text;
  for (int64_t k = 0; k < chars && c.Has(wide ? 2 : 1); ++k) {
    const char16_t ch = wide ? c.U16LE() : c.U8();
    char out[2];
    const int w = ch < 0x80 ? (out[0] = static_cast<char>(ch), 1) : plat::WideCharToCp932(ch, out);
    if (w == 1 && (out[0] == '\n' || out[0] == '\r')) out[0] = ' ';
    text.append(out, static_cast<size_t>(w));
    if (static_cast<int>(text.size()) >= t_.CharLimit()) break;
  }
  if (!anchorFresh_ && lastBox_ >= 0) {
    // A text object without an anchor of its own continues the previous box.
    std::string previous;
    t_.Text(lastBox_, previous);
    previous += ":" + text;
    t_.SetText(lastBox_, static_cast<int>(std::min<size_t>(previous.size(), 255)), previous);
    t_.Text(lastBox_, previous);
    t_.Code(lastBox_) = 1000 + static_cast<int>(previous.size());
    return;
  }
  const bool flat = anchor_.lastCol <= anchor_.firstCol && anchor_.dxRight <= 0;
  const bool low = anchor_.lastRow <= anchor_.firstRow && anchor_.dyBottom <= 0;
  anchorFresh_ = false;
  if (flat || low) return;
  AddBox(text);
}

void WorkbookWalk::AddBox(const std::string& text) {
  if (boxes_ >= SheetTables::kMaxBoxes || anchor_.firstCol >= 64 || anchor_.firstRow >= doc_.m_nTableRowsR) return;
  const int i = t_.Capacity() + boxes_++;
  t_.SetText(i, static_cast<int>(std::min<size_t>(text.size(), 255)), text);
  std::string stored;
  t_.Text(i, stored);
  t_.Code(i) = 1000 + static_cast<int>(stored.size());
  t_.Row(i) = anchor_.firstRow;
  t_.Column(i) = anchor_.firstCol;
  t_.Entry(i) = i;
  t_.Sheet(i) = std::max(sheet_, 0);
  lastBox_ = i;
}
