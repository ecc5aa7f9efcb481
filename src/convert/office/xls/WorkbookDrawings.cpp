// The drawings of a binary workbook: the drawing group's picture store gives each
// picture's kind and where its data lies; a shape's client anchor places it on its
// sheet; a picture shape becomes a labelled object cell ("[Image1]JPG", whose number
// picks the picture), a text object (TXO, its text in the continuation record after
// it) a text box at its shape's anchor. The OfficeArt records are read inside the
// record's own bytes (the drawing group's joined with its continuations) only.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>
#include <vector>

#include "app/QelDoc.h"
#include "base/CheckedSize.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/OfficeArt.h"
#include "convert/office/cfb/RawImage.h"
#include "convert/office/xls/BiffRecord.h"
#include "convert/office/xls/SheetTables.h"
#include "convert/office/xls/WorkbookWalk.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kMaxPictures = 1024;

// The drawing group's bytes joined across its continuation records, with the
// image position of each piece.
struct JoinedRecord {
  std::vector<uint8_t> bytes;
  std::vector<std::pair<int64_t, int64_t>> pieces;  // (offset in bytes, image position)

  int64_t ImagePosition(int64_t offset) const {
    auto it = std::upper_bound(pieces.begin(), pieces.end(), std::make_pair(offset, INT64_MAX));
    if (it == pieces.begin()) return -1;
    --it;
    return it->second + (offset - it->first);
  }
};

constexpr int64_t kSignatureWindow = 100;

// The offset of a JPEG or PNG signature among the first bytes from at, or -1.
int64_t FindSignature(const ByteCursor& b, int64_t at, int64_t end, uint8_t kind) {
  for (int64_t q = at; q < std::min(at + kSignatureWindow, end - 3); ++q) {
    if (kind == kBlipJpeg && b.PeekU8(q) == 0xFF && b.PeekU8(q + 1) == 0xD8 && b.PeekU8(q + 2) == 0xFF) return q;
    if (kind == kBlipPng && b.PeekU8(q) == 0x89 && b.PeekU8(q + 1) == 'P' && b.PeekU8(q + 2) == 'N' && b.PeekU8(q + 3) == 'G') return q;
  }
  return -1;
}

}  // namespace

// The picture store of the drawing group: one entry per stored picture, in order,
// with where its data lies in the image. The group's continuation records (full
// or not) get blanks for their lengths, so that a picture copied out of the image
// drops every header inside it.
int64_t WorkbookWalk::DrawingGroup(int64_t data, int64_t length, int64_t limit) {
  const ByteCursor image = RawImageOf(doc_).Window(0, limit);
  JoinedRecord group;
  int64_t end = data + length;
  group.pieces.emplace_back(0, data);
  int64_t total = length;
  while (end + 4 <= limit && (image.PeekU16LE(end) == kBiffContinue || image.PeekU16LE(end) == kBiffMsoDrawingGroup)) {
    const int64_t piece = image.PeekU16LE(end + 2);
    if (end + 4 + piece > limit) break;
    SetRawImageByte(doc_, end + 2, kBiffBlankLength);
    SetRawImageByte(doc_, end + 3, kBiffBlankLength);
    group.pieces.emplace_back(total, end + 4);
    total += piece;
    end += 4 + piece;
  }
  if (!TryAllocate(group.bytes, total, 1, 0, &doc_.m_allocHook)) return end;
  group.bytes.resize(static_cast<size_t>(total));
  for (size_t k = 0; k < group.pieces.size(); ++k) {
    const int64_t from = group.pieces[k].first;
    const int64_t to = k + 1 < group.pieces.size() ? group.pieces[k + 1].first : total;
    const ByteCursor piece = image.Window(group.pieces[k].second, to - from);
    for (int64_t i = 0; i < to - from; ++i) group.bytes[static_cast<size_t>(from + i)] = piece.PeekU8(i);
  }
  const ByteCursor b(group.bytes.data(), total);
  // The group's container holds the store's container, which holds the entries.
  const auto walk = [&](int64_t from, int64_t to, auto&& visit) {
    for (int64_t at = from; at + 8 <= to;) {
      const int64_t size = b.PeekU32LE(at + 4);
      visit(at, b.PeekU16LE(at + 2), std::min(at + 8 + size, to));
      at += 8 + size;
    }
  };
  walk(8, total, [&](int64_t at, uint16_t type, int64_t childEnd) {
    if (type != kArtStoreContainer) return;
    walk(at + 8, childEnd, [&](int64_t entry, uint16_t entryType, int64_t entryEnd) {
      if (entryType != kArtStoreEntry || static_cast<int>(pictures_.size()) >= kMaxPictures) return;
      StoredPicture picture;
      picture.kind = b.PeekU8(entry);
      // The picture follows the entry's 36 bytes and its name: a record whose data
      // starts after its identifiers.
      const int64_t blip = entry + 8 + 36 + b.PeekU8(entry + 8 + 33);
      const int64_t blipEnd = std::min(blip + 8 + b.PeekU32LE(blip + 4), entryEnd);
      const int64_t at = FindSignature(b, blip + 8, blipEnd, picture.kind);
      if (at >= 0) {
        picture.address = group.ImagePosition(at);
        picture.volume = blipEnd - at;
      }
      pictures_.push_back(picture);
    });
  });
  return end;
}

// The OfficeArt records are found by their type at any offset of the record's bytes.
void WorkbookWalk::Drawing(const ByteCursor& record) {
  const int64_t n = record.Size();
  int picture = 0;
  bool anchored = false;
  for (int64_t at = 0; at + 8 <= n; ++at) {
    const uint16_t type = record.PeekU16LE(at + 2);
    const uint32_t length = record.PeekU32LE(at + 4);
    if (type == kArtClientAnchor && length >= 18) {
      const ByteCursor a = record.Window(at + 8, 18);
      if (a.Failed()) continue;
      anchor_ = Anchor{a.PeekU16LE(2), a.PeekU16LE(6), a.PeekU16LE(10), a.PeekU16LE(14), a.PeekU16LE(12), a.PeekU16LE(16)};
      anchored = true;
    } else if (type == kArtProperties && (record.PeekU8(at) & 0x0F) == 0x03) {
      const int count = record.PeekU16LE(at) >> 4;
      ByteCursor props = record.Window(at + 8, n - at - 8);
      for (int k = 0; k < count && props.Has(6); ++k) {
        const uint16_t id = props.U16LE();
        const uint32_t value = props.U32LE();
        if ((id & 0x3FFF) == kArtPictureNumber) picture = static_cast<int>(std::min<uint32_t>(value, 4096));
      }
    }
  }
  if (!anchored) return;
  anchorFresh_ = true;
  if (picture >= 1 && picture <= 511) {
    const StoredPicture stored = picture <= static_cast<int>(pictures_.size()) ? pictures_[static_cast<size_t>(picture - 1)] : StoredPicture{};
    std::string label;
    if (stored.kind == kBlipJpeg || stored.kind == kBlipPng) {
      label = "[Image" + std::to_string(++picturesShown_) + (stored.kind == kBlipJpeg ? "]JPG" : "]PNG");
      // The picture a user picks by its label's number.
      const auto n = static_cast<size_t>(picturesShown_);
      if (n < call_.pictureType.size() && stored.address >= 0) {
        call_.pictureType[n] = stored.kind;
        call_.pictureAddress[n] = static_cast<int>(std::min<int64_t>(stored.address, INT32_MAX));
        call_.pictureVolume[n] = static_cast<int>(std::min<int64_t>(stored.volume, INT32_MAX));
      }
    } else {
      label = "[Object]";
    }
    AddBox(label);
    anchorFresh_ = false;
  }
}

// A text object: its characters follow in the next record (a continuation), a flags
// byte first (bit 0: 16-bit characters).
void WorkbookWalk::TextObject(const ByteCursor& record, int64_t next) {
  if (record.Size() < 12) return;
  const int chars = record.PeekU16LE(10);
  const int64_t limit = std::min<int64_t>(doc_.Convert().m_nRawLen, static_cast<int64_t>(doc_.Convert().m_rawStore.size()));
  const ByteCursor image = RawImageOf(doc_).Window(0, limit);
  if (chars == 0 || next + 5 > limit || image.PeekU16LE(next) != kBiffContinue) return;
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
  if (boxes_ >= SheetTables::kMaxBoxes || anchor_.firstCol >= 64 || anchor_.firstRow >= call_.tableRowsR) return;
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
