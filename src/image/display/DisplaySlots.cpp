// The mark mode of a packaged rich-text document (figure values 51..59): marks of
// the form "#%" + a type letter + two digits in the pane's text place the display
// slots. S and P give a slot's start, E its end (34 and 13 pixels past the mark),
// P makes it a picture slot. Each mark is blanked to "    _" once read, and the
// pictures "IMAGEnn.jpg" of the package folder are turned into "IMAGEnn.bmp" and
// blitted into their slots. Two digits number at most 99 slots, so the table and
// the picture loop stop at 99.
#include <algorithm>
#include <cstdio>

#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "image/ViewRegionState.h"
#include "image/codecs/jpeg/JDecoder.h"
#include "image/saving/ImageSaveFormats.h"
#include "platform/os/Files.h"
#include "view/PlainTextModel.h"
#include "view/QelView.h"

namespace {

constexpr int kMaxMarks = 200;
constexpr int kMarkLength = 5;
constexpr int kEndOffsetX = 34;
constexpr int kEndOffsetY = 13;
constexpr int kMinSlotSide = 10;
constexpr int kMarkModeDone = 60;

std::string SlotPicture(const std::string& programDir, int slot, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "\\TMP\\ZIVO\\IMAGE%02d.%s", slot, extension);
  return programDir + name;
}

}  // namespace

CPoint CQelView::ScreenPosOfByte(int byte) {
  if (plat::RichEdit* rich = Rich()) return rich->PosFromChar(rich->CharFromByte(byte));
  // The plain pane: cells of kCharWidth x kLineHeight from the first line shown.
  const ScrollPos scroll = Text().GetScrollPos();
  const int line = Text().LineFromChar(byte);
  const int start = Text().LineIndex(line);
  const std::string_view chars = std::string_view(Text().GetText()).substr(static_cast<size_t>(start));
  return CPoint{(PlainCellOfByte(chars, byte - start) - scroll.column) * kCharWidth, (line - scroll.line) * kLineHeight};
}

void CQelView::ReadDisplaySlotMarks() {
  Region().m_displaySlots.fill(DisplaySlot{});
  int hits = 0;
  for (size_t at = Text().GetText().find("#%"); at != std::string::npos && hits < kMaxMarks;
       at = Text().GetText().find("#%", at + 1)) {
    const std::string& text = Text().GetText();
    if (at + kMarkLength > text.size()) break;
    const char type = text[at + 2], d1 = text[at + 3], d2 = text[at + 4];
    if ((type != 'S' && type != 'P' && type != 'E') || d1 < '0' || d1 > '9' || d2 < '0' || d2 > '9') continue;
    const int slot = (d1 - '0') * 10 + (d2 - '0');
    if (slot < 1 || slot > kDisplaySlots) continue;
    ++hits;
    const CPoint pos = ScreenPosOfByte(static_cast<int>(at));
    DisplaySlot& s = Region().m_displaySlots[static_cast<size_t>(slot)];
    if (type == 'E') {
      s.end = CPoint{pos.x + kEndOffsetX, pos.y + kEndOffsetY};
    } else {
      s.start = pos;
      s.picture = s.picture || type == 'P';
    }
    Text().SetSel(static_cast<int>(at), static_cast<int>(at) + kMarkLength);
    Text().ReplaceSel("    _");
  }
  if (plat::RichEdit* rich = Rich()) rich->SetModify(false);
  for (DisplaySlot& s : Region().m_displaySlots) {
    s.width = std::max(s.end.x - s.start.x, kMinSlotSide);
    s.height = std::max(s.end.y - s.start.y, kMinSlotSide);
  }
}

void CQelView::ShowDisplaySlots() {
  if (Region().m_nFigure < kMarkModeDone) {
    ReadDisplaySlotMarks();
    Region().m_nFigure = kMarkModeDone;
  }
  if (Pane().m_paneSurface.width != kClientWidth || Pane().m_paneSurface.height != kClientHeight) {
    Pane().m_paneSurface.width = kClientWidth;
    Pane().m_paneSurface.height = kClientHeight;
    Pane().m_paneSurface.pixels.assign(static_cast<size_t>(kClientWidth) * kClientHeight,
                                plat::PixelOfColor(m_doc.m_clrTextBack));
  }
  for (int slot = 1; slot <= kDisplaySlots; ++slot) {
    const DisplaySlot& s = Region().m_displaySlots[static_cast<size_t>(slot)];
    if (!s.picture) continue;
    const std::string jpeg = SlotPicture(m_doc.m_strProgramDir, slot, "jpg");
    const std::optional<std::string> bytes = plat::ReadFileHead(jpeg, m_doc.m_nBmpFileLimit);
    if (!bytes || bytes->empty()) continue;
    JDecoder decoder(&m_doc.m_allocHook);
    std::vector<uint8_t> bits;
    if (decoder.SetSource(reinterpret_cast<const uint8_t*>(bytes->data()), static_cast<int64_t>(bytes->size())) != 0 ||
        decoder.DecodeDib(bits, kDibSpareBytes) != 0) {
      continue;
    }
    int width = 0, height = 0, components = 0;
    decoder.GetInfo(nullptr, nullptr, nullptr, &width, &height, &components);
    BITMAPINFO info{};
    info.bmiHeader.biSize = kDibHeaderSize;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biSizeImage = static_cast<uint32_t>(DibStride(width, 24) * height);
    m_doc.SaveDib(bits.data(), &info, SlotPicture(m_doc.m_strProgramDir, slot, "bmp"), ImageSaveCode::kBmp);
    if (!g_pMainFrame) continue;
    plat::BitmapPtr picture = g_pMainFrame->Ui().Gdi().CreateDIBitmap(reinterpret_cast<const uint8_t*>(&info),
                                                                      sizeof info, bits.data(), bits.size());
    if (!picture) continue;
    plat::BitBlt(Pane().m_paneSurface, s.start.x, s.start.y, std::min(s.width, picture->width),
                 std::min(s.height, picture->height), *picture, 0, 0);
  }
}
