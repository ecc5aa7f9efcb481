// Binary PowerPoint as display text. A record walk over the PowerPoint Document
// stream turns slides, notes, edits, texts and picture shapes into an event list;
// the output pass writes a banner per page and places each page's texts on a grid
// of 180 columns by 50 rows at their anchors, with the notes below.
//
// Pages: the slide list's entries are pages 1, 2, … (their outline texts go
// there); the slide containers after the end of the document are pages 1, 2, … in
// their order, and each notes container the page of the slide it names (its
// slide identifier, looked up among the slide list's identifiers, those of earlier
// edits kept). Masters (and the notes master) are no page.
//
// Every container is entered (the picture store too, whose instance is its entry
// count); only the slide list proper (instance 0) numbers pages.
//
// Bounds: every read goes through the byte cursor; a record length past the data ends the
// walk at the data's end; at most 40,000 records, 48 edits, n_tbl entries
// and 400 pictures; picture indexes are looked up only inside the table; the grid
// drops what falls outside it; pages stop at 200.
#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/OfficeArt.h"
#include "convert/office/OfficeState.h"
#include "convert/office/cfb/RawImage.h"
#include "convert/office/ppt/PptRecord.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kMaxRecords = 40000;
constexpr int kMaxEdits = 48;
constexpr int kMaxPictures = 400;
constexpr int kGridCols = 180;
constexpr int kGridRows = 50;
constexpr int kMaxPages = 200;

enum EventCode : uint8_t { kSlide = 0xF1, kSlideAtom = 0xF2, kDocEnd = 0xF3, kEdit = 0xF4, kNotes = 0xF5, kText = 0 };

struct Anchor {
  int top = 0, left = 0, right = 0, bottom = 0;
};

struct PptEntry {
  uint8_t code = kText;
  int page = 0;
  int revision = 0;
  int id = 0;
  bool notes = false;       // a text of a notes page
  bool hasAnchor = false;
  Anchor anchor;
  std::string text;
};

class PptRoad {
 public:
  PptRoad(CQelDoc& doc, DumpCall& call) : doc_(doc), call_(call), img_(RawImageOf(doc)) {}
  // False when the stream holds neither the document container nor the older form:
  // the file is no presentation.
  bool Run();

 private:
  void Walk(int64_t from, int64_t end);
  void ArtRecord(int type, int instance, uint8_t b0, int64_t data, int64_t length);
  void ClientAnchor(int64_t data);
  void AddText(int64_t data, int64_t length, bool wide);
  void AddEntry(PptEntry e) {
    if (static_cast<int>(entries_.size()) < std::max(call_.settingRows, 1)) entries_.push_back(std::move(e));
  }
  void ShapeTag();
  void Source();
  void Pages();
  void OlderForm(int64_t from, int64_t end);

  CQelDoc& doc_;
  DumpCall& call_;
  ByteCursor img_;
  std::vector<PptEntry> entries_;

  // Walk state.
  int slides_ = 0;
  bool docEnded_ = false;
  int edits_ = 0;
  int revision_ = 0;
  int listPage_ = 0;
  int slidePage_ = 0;
  std::unordered_map<uint32_t, int> slideIdPages_;  // the slide list's identifiers and pages
  int curPage_ = 0;
  bool curNotes_ = false;
  int pictureCount_ = 0;
  int pictureFrames_ = 0;
  bool shapeIsPicture_ = false;
  int pictureIndex_ = 0;
  bool anchorPending_ = false;
  Anchor anchor_;
  int prevType_ = 0;
  int64_t prevLength_ = 0;
  int records_ = 0;
};

void PptRoad::AddText(int64_t data, int64_t length, bool wide) {
  std::string text;
  if (wide) {
    std::vector<char16_t> units;
    for (int64_t k = 0; k + 1 < length; k += 2) units.push_back(static_cast<char16_t>(img_.PeekU16LE(data + k)));
    for (size_t at = 0; at < units.size(); at += 1000) {
      const int n = static_cast<int>(std::min<size_t>(1000, units.size() - at));
      char out[2 * 1000 + 2];
      const int got = plat::WideToCp932(units.data() + at, n, out, sizeof out);
      text.append(out, static_cast<size_t>(std::max(got, 0)));
    }
  } else if (length == 1 && img_.PeekU8(data) == 0xD7) {
    text = "X";
  } else {
    // Latin-1 text: bytes above 7F folded to ASCII look-alikes, not read as Shift-JIS.
    for (int64_t k = 0; k < length; ++k) text += static_cast<char>(CQelDoc::FoldLatin1Char(img_.PeekU8(data + k)));
  }
  text += "\r\n";
  const size_t limit = static_cast<size_t>(std::max(call_.charLimit, 2));
  for (size_t at = 0; at < text.size();) {
    const size_t most = std::min(limit, text.size() - at);
    // Never split a double-byte character between entries.
    size_t n = 0;
    while (n < most) {
      const size_t step = IsSjisLeadByte(static_cast<uint8_t>(text[at + n])) && at + n + 1 < text.size() ? 2 : 1;
      if (n + step > most) break;
      n += step;
    }
    n = std::max<size_t>(n, 1);
    PptEntry e;
    e.page = curPage_;
    e.notes = curNotes_;
    e.text = text.substr(at, n);
    if (at == 0 && anchorPending_) {
      e.hasAnchor = true;
      e.anchor = anchor_;
      anchorPending_ = false;
    }
    AddEntry(std::move(e));
    at += n;
  }
}

// A picture shape's tag: the kind of its picture from the picture table.
void PptRoad::ShapeTag() {
  char tag[32] = "[Object]";
  if (pictureIndex_ >= 1 && pictureIndex_ <= 200 && pictureIndex_ <= pictureCount_) {
    const int type = call_.pictureType[static_cast<size_t>(pictureIndex_)];
    if (type == kBlipJpeg) std::snprintf(tag, sizeof tag, "[Image%d]JPG", pictureIndex_);
    else if (type == kBlipPng) std::snprintf(tag, sizeof tag, "[Image%d]PNG", pictureIndex_);
    else if (type == kBlipEmf) std::snprintf(tag, sizeof tag, "[Graph]");
    else if (type == kBlipWmf) std::snprintf(tag, sizeof tag, "[WorkSheet]");
  }
  PptEntry e;
  e.page = curPage_;
  e.notes = curNotes_;
  e.text = tag;
  e.hasAnchor = true;
  e.anchor = anchor_;
  AddEntry(std::move(e));
  anchorPending_ = false;
}

void PptRoad::Walk(int64_t from, int64_t end) {
  struct Parent {
    int64_t end;
    int type;
    int instance;
  };
  std::vector<Parent> parents;
  int64_t p = from;
  while (p + 8 <= end && edits_ < kMaxEdits && records_ < kMaxRecords) {
    while (!parents.empty() && p >= parents.back().end) parents.pop_back();
    const uint8_t b0 = img_.PeekU8(p), b1 = img_.PeekU8(p + 1);
    const int type = img_.PeekU16LE(p + 2);
    const int64_t length = img_.PeekU24LE(p + 4);
    const int instance = b0 >> 4 | b1 << 4;
    const int64_t data = p + 8;
    if ((b0 & 0x0F) == 0x0F) {
      // A container: entered.
      parents.push_back({std::min(data + length, end), type, instance});
      if (type == kPptSlide || type == kPptNotes || type == kPptMainMaster) {
        curPage_ = 0;
        curNotes_ = false;
      }
      p = data;
      continue;
    }
    ++records_;
    const int parent = parents.empty() ? 0 : parents.back().type;
    const bool slideList = parent == kPptSlideListWithText && parents.back().instance == 0;
    PptEntry e;
    switch (type) {
      case kPptSlidePersistAtom:  // a slide event; the slide list's entries are pages
        e.code = kSlide;
        e.id = img_.PeekU16LE(data + 12);
        e.revision = revision_;
        ++slides_;
        if (slideList) {
          e.page = ++listPage_;
          slideIdPages_.insert_or_assign(img_.PeekU32LE(data + 12), e.page);
        }
        curPage_ = e.page;
        curNotes_ = false;
        AddEntry(e);
        break;
      case kPptEndDocument:
        if (img_.PeekU8(p + 4) == 0) {
          docEnded_ = true;
          e.code = kDocEnd;
          AddEntry(e);
        }
        break;
      case kPptSlideAtom:  // of a slide container
        if (docEnded_ && parent == kPptSlide && !(prevType_ == kPptCString && prevLength_ > 16)) {
          e.code = kSlideAtom;
          e.id = img_.PeekU16LE(data + 12) / 4;  // the identifier the source form shows
          e.page = ++slidePage_;
          e.revision = revision_;
          curPage_ = e.page;
          curNotes_ = false;
          AddEntry(e);
        }
        break;
      case kPptUserEditAtom:
        if (docEnded_) {
          ++edits_;
          e.code = kEdit;
          AddEntry(e);
          ++revision_;
          listPage_ = slidePage_ = 0;
          pictureCount_ = 0;
        }
        break;
      case kPptNotesAtom:  // the notes of the slide whose identifier it holds
        if (docEnded_) {
          e.code = kNotes;
          const auto slide = slideIdPages_.find(img_.PeekU32LE(data));
          e.page = slide == slideIdPages_.end() ? 0 : slide->second;
          e.revision = revision_;
          curPage_ = e.page;
          curNotes_ = true;
          AddEntry(e);
        }
        break;
      case kPptTextCharsAtom:
      case kPptTextBytesAtom:
        if (curPage_ > 0 && !(prevType_ == kPptPlaceholderAtom && (prevLength_ & 0xFF) == 8)) {
          AddText(data, std::min(length, end - data), type == kPptTextCharsAtom);
        }
        break;
      default: ArtRecord(type, instance, b0, data, length); break;
    }
    prevType_ = type;
    prevLength_ = length;
    p = data + length;
  }
}

// The OfficeArt records of the walk: the picture table's entries, picture shapes
// and their properties, and the anchors that place a page's texts and pictures.
void PptRoad::ArtRecord(int type, int instance, uint8_t b0, int64_t data, int64_t length) {
  switch (type) {
    case kArtStoreEntry:
      if ((b0 & 0x0F) == 2 && pictureCount_ < kMaxPictures) {
        ++pictureCount_;
        call_.pictureType[static_cast<size_t>(pictureCount_)] = b0;
        call_.pictureVolume[static_cast<size_t>(pictureCount_)] = static_cast<int>(img_.PeekU32LE(data + 20) & 0x7FFFFFFF);
        call_.pictureAddress[static_cast<size_t>(pictureCount_)] = static_cast<int>(img_.PeekU32LE(data + 28) & 0x7FFFFFFF);
      }
      if (doc_.m_nDisplayForm == 2 && pictureCount_ > 0) {
        doc_.ConvPrintf("\r\n picture no.=%3d adr=%8x vol=%6x ", pictureCount_,
                        call_.pictureAddress[static_cast<size_t>(pictureCount_)],
                        call_.pictureVolume[static_cast<size_t>(pictureCount_)]);
      }
      break;
    case kArtShape:
      shapeIsPicture_ = instance == kArtPictureFrame;
      if (shapeIsPicture_) ++pictureFrames_;
      pictureIndex_ = 0;
      anchorPending_ = false;
      break;
    case kArtProperties:
      for (int64_t k = 0; k + 6 <= std::min<int64_t>(length, 100); k += 6) {
        if (img_.PeekU16LE(data + k) == (kArtStoreReference | kArtPictureNumber)) {
          pictureIndex_ = static_cast<int>(std::min<uint32_t>(img_.PeekU32LE(data + k + 2), 100000));
          break;
        }
      }
      break;
    case kArtClientAnchor: ClientAnchor(data); break;
    default: break;
  }
}

void PptRoad::ClientAnchor(int64_t data) {
  const int div1 = doc_.m_bVerticalRules ? 160 : 250;
  const int div2 = doc_.m_bVerticalRules ? 52 : 60;
  const auto v = [&](int k) { return static_cast<int16_t>(img_.PeekU16LE(data + 2 * k)); };
  int top = v(0) / div1, left = v(1) / div2, right = v(2) / div2, bottom = v(3) / div1;
  if (top > 1000 || top < 0) top = 0;
  if (left > 1000 || left < 0) left = 0;
  anchor_.top = std::min(top, 99);
  anchor_.bottom = std::clamp(bottom, 0, 99);
  anchor_.left = std::min(left, pictureFrames_ > 0 ? 80 : 149);
  anchor_.right = std::clamp(right, 0, 149);
  if (curPage_ > 0 && shapeIsPicture_) ShapeTag();
  else anchorPending_ = true;
}

void PptRoad::Source() {
  doc_.ConvAppend("\r\n");
  bool endShown = false;
  for (const PptEntry& e : entries_) {
    switch (e.code) {
      case kSlide:
        if (e.revision == 0) doc_.ConvPrintf("\r\n===%3d==================page%3d========================\r\n", e.id, e.page);
        else doc_.ConvPrintf("\r\n===%3d==================page%3d [Rev%2d] ===============\r\n\r\n", e.id, e.page, e.revision);
        break;
      case kSlideAtom:
        if (e.revision == 0) doc_.ConvPrintf("\r\n---%3d--------------page%3d---------------------\r\n", e.id, e.page);
        else doc_.ConvPrintf("\r\n---%3d--------------page%3d--- [Rev%2d] --------\r\n", e.id, e.page, e.revision);
        break;
      case kDocEnd:
        if (!endShown) doc_.ConvAppend("\r\n======================================================\r\n\r\n");
        endShown = true;
        break;
      case kEdit: doc_.ConvAppend("\r\n===Rev ================================================\r\n"); break;
      case kNotes:
        if (e.page > 1) doc_.ConvAppend("\r\n[Note]--------------\r\n");
        break;
      default: {
        std::string out;
        for (size_t k = 0; k < e.text.size(); ++k) {
          const char c = e.text[k];
          if (c == '\x0B') out += "\r\n\t";
          else if (c == '\r' && (k + 1 >= e.text.size() || e.text[k + 1] != '\n')) out += "\r\n";
          else out += c;
        }
        doc_.ConvAppend(out);
        if (static_cast<int>(e.text.size()) >= call_.charLimit) doc_.ConvAppend("\r\n##\r\n");
      }
    }
  }
  doc_.ConvAppend("\r\n===End Rev=============================================\r\n");
}

// One page's texts on the grid, then the grid's used part as lines.
class PageGrid {
 public:
  PageGrid() {
    for (auto& row : cells_) row.fill(' ');
  }
  void Place(const std::string& text, int left, int top, int right) {
    left_ = std::clamp(left, 0, kGridCols - 1);
    row_ = std::max(top, 0);
    col_ = left_;
    const int width = right - left_;
    bool lead = false;
    for (const char ch : text) {
      const auto c = static_cast<uint8_t>(ch);
      if (c == '\r' || c == '\n' || c == 0x0B) {
        if (c != '\n' || !afterCr_) NextRow();
        afterCr_ = c == '\r';
        lead = false;
        continue;
      }
      afterCr_ = false;
      if (row_ < kGridRows && col_ < kGridCols) {
        cells_[static_cast<size_t>(row_)][static_cast<size_t>(col_)] = ch;
        lowest_ = std::max(lowest_, row_);
        widest_ = std::max(widest_, col_ + 1);
      }
      ++col_;
      const bool completes = lead;
      lead = !lead && IsSjisLeadByte(c);
      if (lead) continue;
      if (col_ > right || (c == ' ' && col_ > right - 10 && width > 30) || (completes && col_ > right - 4)) NextRow();
    }
  }
  int Lowest() const { return lowest_; }
  void Mark(int row, int col, char c) {
    if (row >= 0 && row < kGridRows && col >= 0 && col < kGridCols) {
      cells_[static_cast<size_t>(row)][static_cast<size_t>(col)] = c;
      lowest_ = std::max(lowest_, row);
      widest_ = std::max(widest_, col + 1);
    }
  }
  std::string Lines() const {
    const int lowest = std::min(lowest_, 48);
    std::string out;
    std::vector<size_t> ends;
    for (int r = 0; r <= lowest + 1 && r < kGridRows; ++r) {
      out.append(cells_[static_cast<size_t>(r)].data(), static_cast<size_t>(std::max(widest_, 0)));
      out += "\r\n";
      ends.push_back(out.size());
    }
    if (lowest > 24) {
      int keep = 26;
      for (int r = 26; r < static_cast<int>(ends.size()); ++r) {
        const auto& row = cells_[static_cast<size_t>(r)];
        if (std::any_of(row.begin(), row.begin() + widest_, [](char c) { return static_cast<uint8_t>(c) > ' '; })) keep = r;
      }
      if (keep < static_cast<int>(ends.size())) out.resize(ends[static_cast<size_t>(keep)]);
    } else {
      for (int r = lowest + 2; r < 25; ++r) out += "\r\n";
    }
    return out;
  }

 private:
  void NextRow() {
    ++row_;
    col_ = left_;
  }
  std::array<std::array<char, kGridCols>, kGridRows> cells_{};
  int lowest_ = -1, widest_ = 0;
  int row_ = 0, col_ = 0, left_ = 0;
  bool afterCr_ = false;
};

void PptRoad::Pages() {
  int lastPage = 0;
  for (const PptEntry& e : entries_) lastPage = std::max(lastPage, e.page);
  lastPage = std::min(lastPage, kMaxPages);
  for (int page = 1; page <= lastPage; ++page) {
    bool banner = false;
    PageGrid grid;
    bool anchored = false;
    int nextRow = 0;
    std::vector<const PptEntry*> notes;
    for (const PptEntry& e : entries_) {
      if (e.page != page) continue;
      if ((e.code == kSlide || e.code == kSlideAtom) && !banner) {
        doc_.ConvPrintf("=================================================page%3d===============================================\r\n", page);
        banner = true;
      }
      if (e.code != kText) continue;
      if (e.notes) {
        notes.push_back(&e);
        continue;
      }
      if (e.hasAnchor) {
        anchored = true;
        const int right = e.anchor.right >= 135 && e.anchor.left > 40 ? 135 : e.anchor.right;
        grid.Place(e.text, e.anchor.left, e.anchor.top, std::max(right, e.anchor.left + 1));
      } else {
        grid.Place(e.text, 0, anchored ? grid.Lowest() + 1 : nextRow, 86);
      }
      nextRow = grid.Lowest() + 1;
    }
    if (!notes.empty()) {
      const int row = grid.Lowest() + 1;
      grid.Mark(row, 0, '#');
      std::string text;
      for (const PptEntry* e : notes) text += e->text;
      grid.Place(text, 2, row, 92);
    }
    if (!banner && grid.Lowest() < 0) continue;
    doc_.ConvAppend(grid.Lines());
  }
  doc_.ConvAppend(std::string(103, '=') + "\r\n");
}

// The older form: 16-byte record headers; texts of two kinds, a rule per slide.
void PptRoad::OlderForm(int64_t from, int64_t end) {
  int64_t p = from;
  for (int guard = 0; guard < kMaxRecords && p + 16 <= end; ++guard) {
    const int t0 = img_.PeekU8(p), t1 = img_.PeekU8(p + 1);
    if ((t0 == 0 && t1 == 0xFF) || (t0 == 0xFF && t1 == 0)) break;
    const int type = img_.PeekU16LE(p);
    const bool entered = img_.PeekU8(p + 4) == 0xFF || img_.PeekU8(p + 5) == 0xFF;
    const int64_t length = img_.PeekU8(p + 4) == 0xFF && img_.PeekU8(p + 5) == 0xFF ? img_.PeekU16LE(p + 8) : img_.PeekU24LE(p + 8);
    const int64_t data = p + 16;
    const uint8_t kind = img_.PeekU8(p + 12);
    if (type == kPptOldSlide) doc_.ConvAppend("==============================================================\r\n");
    if (((type == kPptOldText && kind == '5') || (type == kPptCString && kind == '0')) && img_.PeekU8(p + 13) == 0) {
      std::string text;
      for (int64_t k = 0; k < length && data + k < end; ++k) {
        const uint8_t c = img_.PeekU8(data + k), n = img_.PeekU8(data + k + 1);
        if (c == 0x91 && n >= '0' && n <= '9') text += '\'';
        else if (c == '\r' && n != '\n') text += "\r\n";
        else if (c == 0x0B) text += "\r\n\t";
        else if (c != 0 && c != 0xFF) text += static_cast<char>(c);
      }
      doc_.ConvAppend(text + "\r\n");
    }
    p = entered && type != kPptCString ? data : data + length;
  }
}

bool PptRoad::Run() {
  const int64_t main = doc_.Office().m_anCfbSlots[0] > 0 ? doc_.Office().m_anCfbSlots[0] : 512;
  const int64_t length = doc_.Office().m_anCfbSlotLength[0] > 0 ? doc_.Office().m_anCfbSlotLength[0] : doc_.Convert().m_nRawLen - main;
  const int64_t end = std::min<int64_t>({main + length, doc_.Convert().m_nRawLen, img_.Size()});
  int64_t start = -1;
  for (int64_t b = 512; b + 4 <= end && b / 512 <= std::max(doc_.Office().m_nCfbSectorCount, 1); b += 512) {
    if (img_.PeekU8(b) == 0x0F && img_.PeekU8(b + 1) == 0 && img_.PeekU8(b + 2) == 0xE8 && img_.PeekU8(b + 3) == 0x03) {
      start = b;
      break;
    }
  }
  if (start < 0) {
    if (img_.PeekU32LE(main) != 3) return false;
    OlderForm(main, end);
    return true;
  }
  Walk(start + 8, end);
  if (doc_.m_nDisplayForm == 2) Source();
  else Pages();
  return true;
}

}  // namespace

ConvertStatus CQelDoc::DumpPptText(DumpCall& call) {
  // Neither form: a compound file holds a presentation of a form not read here; any
  // other file is no presentation.
  if (!PptRoad(*this, call).Run()) {
    return Office().m_anCfbSlots[0] > 0 ? ConvertStatus::Message(IDS_OFFICE_FORMAT_UNSUPPORTED)
                               : ConvertStatus::Message(IDS_NOT_OF_KIND).With("PowerPoint");
  }
  return ShowSelectedPicture(call);
}
