// Picture-object mode: instead of being painted over the text control, the rendered
// image is put on the clipboard as a packed DIB and pasted into the rich-text
// control as a picture object, which the user can select, copy or resize. Tall
// images go in bands. The clipboard the user had is given back whole afterwards,
// every format of it, so a picture the user copied is never lost. Also the view's
// switch of the mode, the conversion of the selected object into a bitmap picture,
// the reading of the selected object's picture for a save, and the image saves of
// the editor.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "base/ByteCursor.h"
#include "frame/MainFrame.h"
#include "image/saving/ImageSaveFormats.h"
#include "image/ImageState.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "image/codecs/BmpFile.h"
#include "platform/ui/Keys.h"
#include "view/QelView.h"
#include "view/PlainTextModel.h"
#include "view/RichTextModel.h"

namespace {

constexpr int kObjectBandRows = 3800;        // rows of a band up to 8 bits a pixel
constexpr int kObjectBandRowsDeep = 3200;    // above 8 bits a pixel
constexpr int kMinBandedRows = 8;            // images up to this height are never banded
constexpr int kObjectSpareBytes = 500000;    // the clipboard block's room beyond the picture
const CPoint kObjectClickPoint{16, 16};      // where the switch clicks to select the object

std::string Format(const char* format, auto... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

bool ObjectMode(int mode) { return mode == 1 || mode == 2; }

// A packed DIB (header, colours or masks, rows) as a BITMAPINFO with a 40-byte
// header and its rows; false when the header is shorter or the rows are missing.
bool UnpackDib(std::string_view packed, BITMAPINFO& info, std::vector<uint8_t>& bits, AllocHook* hook) {
  ByteCursor in(packed);
  const int64_t headerSize = in.PeekU32LE(0);
  if (headerSize < kDibHeaderSize) return false;
  info = BITMAPINFO{};
  BITMAPINFOHEADER& h = info.bmiHeader;
  h = ReadDibHeader(in);
  in.Seek(headerSize);
  const int colors = h.biBitCount <= 8 ? DibColorCount(h) : DibMaskCount(h);
  ReadDibColors(in, info.bmiColors, colors);
  const int64_t rows = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  if (in.Failed() || rows <= 0 || in.Remaining() < rows ||
      !TryResize(bits, static_cast<size_t>(rows) + kDibSpareBytes, hook)) {
    return false;
  }
  const std::span<const uint8_t> pixels = in.PeekBytes(in.Pos(), rows);
  std::copy(pixels.begin(), pixels.end(), bits.begin());
  h.biSize = kDibHeaderSize;
  h.biSizeImage = static_cast<uint32_t>(rows);
  if (h.biBitCount <= 8) h.biClrUsed = static_cast<uint32_t>(colors);
  return true;
}

}  // namespace

bool CQelView::ShowPictureObjectBand(const uint8_t* bits, size_t size, const BITMAPINFO& info) {
  if (!ObjectMode(Image().m_nPictureObjectMode) || !IsImageKind(Pane().m_nShownKind)) return false;
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const int height = h.biHeight;
  if (height <= kMinBandedRows) return false;
  const int band = h.biBitCount > 8 ? kObjectBandRowsDeep : kObjectBandRows;
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  if (stride <= 0) return true;
  BITMAPINFO part = info;
  int top = 0, rows = height;
  if (height >= kObjectBandRows || (h.biBitCount > 8 && height > kObjectBandRowsDeep)) {
    // The band index picks the band from the top; one past the last shows the last.
    const int bands = (height + band - 1) / band;
    const int index = std::min(Image().m_nBandIndex % 1000, bands - 1);
    top = index * band;
    rows = std::min(band, height - top);
    if (index == bands - 1 && bands > 1) Image().m_nBandIndex = index + 1000;
    if (g_pStatusBar) {
      g_pStatusBar->SetPaneText(0, Format("(%d - %d)lines of ", top + 1, top + rows) + g_pStatusBar->GetPaneText(0) +
                                       "  (Click Ctrl+Up/Down to move)");
    }
  }
  // Rows from the top are the DIB's last ones.
  const size_t offset = static_cast<size_t>(stride) * static_cast<size_t>(height - top - rows);
  if (offset > size) return true;
  part.bmiHeader.biHeight = rows;
  part.bmiHeader.biSizeImage = static_cast<uint32_t>(stride * rows);
  ShowImageAsPicture(bits + offset, size - offset, part);
  return true;
}

bool CQelView::OnImageBandKey(int key) {
  const int code = plat::KeyCode(key);
  const bool down = code == plat::VK_DOWN || code == plat::VK_NEXT;
  if (!plat::KeyHasCtrl(key) || !IsImageKind(Pane().m_nShownKind) || (!down && code != plat::VK_UP && code != plat::VK_PRIOR)) {
    return false;
  }
  const bool objectBands = ObjectMode(Image().m_nPictureObjectMode) &&
                           (Image().m_nPaintHeight >= kObjectBandRows || (Image().m_nPaintBits > 8 && Image().m_nPaintHeight > kObjectBandRowsDeep));
  const bool paintedBands = !ObjectMode(Image().m_nPictureObjectMode) && Image().m_pDisplayBitmap &&
                            Image().m_pDisplayBitmap.Height() < Image().m_nPaintHeight;
  if (!objectBands && !paintedBands) return false;
  // The index is 1,000 above the last band's while that one shows.
  const int index = Image().m_nBandIndex % 1000;
  if (down ? Image().m_nBandIndex >= 1000 : index == 0) return true;
  Image().m_nBandIndex = down ? index + 1 : index - 1;
  Image().m_nImageOriginY = 0;
  RefreshImage(RefreshMode::kKeepScroll);
  return true;
}

void CQelView::ShowImageAsPicture(const uint8_t* bits, size_t size, const BITMAPINFO& info) {
  if (!Image().m_pImageBits || !bits || !g_pMainFrame) return;
  plat::UiHost& ui = g_pMainFrame->Ui();
  Image().m_bImageDirty = 0;
  Region().m_nRegionPickState = 0;
  m_doc.Image().m_ptLastClick = CPoint{-1, -1};
  Image().m_pDisplayBitmap.reset();
  Image().m_hImageBitmap = 0;
  // The user's clipboard, every format, comes back afterwards.
  plat::Clipboard& clip = ui.GetClipboard();
  const plat::Clipboard saved = clip;
  ++m_doc.m_nLockUpdateDepth;
  ui.LockWindowUpdate(Pane().m_nPane);

  BITMAPINFOHEADER h = info.bmiHeader;
  plat::RichEdit& rich = UseRichText();
  rich.SetText(ImageScrollText(h));
  rich.ExSetSel(0, 0);
  const int rows = std::min(h.biHeight, kObjectBandRows);
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  const int colors = h.biBitCount <= 8 ? (h.biClrUsed ? static_cast<int>(std::min<uint32_t>(h.biClrUsed, 256))
                                                       : DibColorCount(h))
                                       : 0;
  const int64_t pixels = stride * rows;
  const int64_t total = int64_t{sizeof(BITMAPINFOHEADER)} + int64_t{4} * colors + pixels;
  std::string packed;
  bool ok = stride > 0 && rows > 0 && static_cast<size_t>(pixels) <= size;
  if (ok) {
    std::vector<uint8_t> block;
    ok = TryResize(block, static_cast<size_t>(total) + kObjectSpareBytes, &m_doc.m_allocHook);
    if (!ok) AfxMessageBox(OutOfMemoryText(" 665"));
    if (ok) {
      h.biHeight = rows;
      h.biSizeImage = static_cast<uint32_t>(pixels);
      h.biXPelsPerMeter = h.biYPelsPerMeter = kDibPixelsPerMeter;
      h.biClrUsed = static_cast<uint32_t>(colors);
      // The rows kept are the top ones: the DIB's last rows.
      const size_t first = size >= static_cast<size_t>(stride) * static_cast<size_t>(info.bmiHeader.biHeight)
                               ? static_cast<size_t>(stride) * static_cast<size_t>(info.bmiHeader.biHeight - rows)
                               : 0;
      const size_t colorBytes = static_cast<size_t>(4 * colors);
      std::memcpy(block.data(), &h, sizeof h);
      std::memcpy(block.data() + sizeof h, info.bmiColors, colorBytes);
      std::memcpy(block.data() + sizeof h + colorBytes, bits + first, static_cast<size_t>(pixels));
      packed.assign(reinterpret_cast<const char*>(block.data()), static_cast<size_t>(total));
    }
  }
  if (ok) {
    clip.Empty();
    clip.SetData(plat::CF_DIB, packed);
    rich.Paste(clip);
    rich.ExSetSel(0, 0);
  }
  clip = saved;
  rich.EmptyUndoBuffer();
  rich.SetModify(false);
  if (m_doc.m_nLockUpdateDepth > 0 && --m_doc.m_nLockUpdateDepth == 0) ui.LockWindowUpdate(0);
  SyncSelection();
  RepaintImage();
}

// The picture the control draws for the object at its start, at 96 DPI as the
// object was pasted; nullptr when the pane shows no picture object.
plat::BitmapPtr CQelView::PictureObjectBitmap() {
  plat::RichEdit* rich = ObjectMode(Image().m_nPictureObjectMode) ? Rich() : nullptr;
  const std::string* object = rich ? rich->ObjectAt(0) : nullptr;
  BITMAPINFO info;
  std::vector<uint8_t> bits;
  if (!object || !UnpackDib(plat::PictureObjectDib(*object), info, bits, &m_doc.m_allocHook)) return nullptr;
  plat::GdiHost unlimited;
  plat::GdiHost& gdi = g_pMainFrame ? g_pMainFrame->Ui().Gdi() : unlimited;
  return gdi.CreateDIBitmap(reinterpret_cast<const uint8_t*>(&info), sizeof info, bits.data(), bits.size());
}

bool CQelView::IsPictureObjectMode() const {
  return ObjectMode(Image().m_nPictureObjectMode) || Image().m_nPictureObjectMode == 4;
}

bool CQelView::ReadObjectDib(BITMAPINFO& info, std::vector<uint8_t>& bits) {
  plat::RichEdit* rich = Rich();
  if (!rich || !g_pMainFrame) return false;
  int from = 0, to = 0;
  rich->ExGetSel(from, to);
  if (from == to) return false;
  // The control copies its selection; the first DIB among the clipboard's formats
  // is the picture, when its header is the 40-byte one.
  plat::Clipboard& clip = g_pMainFrame->Ui().GetClipboard();
  rich->Copy(clip);
  for (const auto& [format, data] : clip.Formats()) {
    if (format != plat::CF_DIB) continue;
    return ByteCursor(data).PeekU32LE(0) == kDibHeaderSize && UnpackDib(data, info, bits, &m_doc.m_allocHook);
  }
  return false;
}

bool CQelView::ClickPictureObject(CPoint point) {
  if (!ObjectMode(Image().m_nPictureObjectMode) || !Rich()) return false;
  // The object stands first in the control, the picture's size from the corner.
  const std::string& text = Rich()->Text();
  if (!text.empty() && text[0] == plat::kObjectChar && point.x >= 0 && point.y >= 0 && point.x < Image().m_nPaintWidth &&
      point.y < std::min(Image().m_nPaintHeight, kObjectBandRows)) {
    Rich()->ExSetSel(0, 1);
  } else {
    Rich()->ExSetSel(0, 0);
  }
  SyncSelection();
  return true;
}

// Switches between the painted image and the picture object; a text view only
// keeps the mode (4) for its own use.
int CQelView::OnPictureObjectMode() {
  if (!IsImageKind(Pane().m_nShownKind)) {
    Image().m_nPictureObjectMode = Image().m_nPictureObjectMode == 0 ? 4 : 0;
    return 0;
  }
  Image().m_nPictureObjectMode = Image().m_nPictureObjectMode == 0 ? 1 : 0;
  if (Image().m_nPictureObjectMode == 0 && Rich()) SetTextModel(std::make_unique<PlainTextModel>());
  RefreshImage(RefreshMode::kKeepScroll);
  if (Image().m_nPictureObjectMode == 1) {
    OnLButtonDown(plat::MK_LBUTTON, kObjectClickPoint);
    OnLButtonUp(plat::MK_LBUTTON, kObjectClickPoint);
  }
  return 0;
}

// Turns the selected static picture into a bitmap picture object (the class of
// the paint program's pictures); the mode becomes 2.
int CQelView::OnConvertToBitmapObject() {
  if (Image().m_nPictureObjectMode == 0) {
    if (!IsImageKind(Pane().m_nShownKind)) return -1;
    OnPictureObjectMode();
  }
  plat::RichEdit* rich = Rich();
  const std::string* object = rich ? rich->SelectedObject() : nullptr;
  if (!object) {
    // A picture of a few rows is painted in that mode too: it has no object.
    AfxMessageBox(IsImageKind(Pane().m_nShownKind) && Image().m_nPaintHeight <= kMinBandedRows
                      ? Format("a picture of %d rows or fewer is painted, not made a picture object: nothing to convert",
                               kMinBandedRows)
                      : std::string("no picture object is selected: nothing to convert"));
    return -1;
  }
  const std::string kind = plat::ObjectClassOf(*object);
  if (kind != "StaticDib" && kind != "StaticMetafile") {
    AfxMessageBox("the selected object is no picture: nothing to convert");
    return -1;
  }
  std::string converted = *object;
  const size_t at = converted.find("\\objclass " + kind);
  converted.replace(at + 10, kind.size(), "PBrush");
  if (!rich->SetSelectedObject(std::move(converted))) return -1;
  Image().m_nPictureObjectMode = 2;
  return 0;
}

// Leaves picture-object mode for the painted image before a save reads its pixels.
void CQelView::LeavePictureObjectMode() {
  if (Image().m_nPictureObjectMode == 0 || !(IsImageKind(Pane().m_nShownKind) || IsMediaKind(Pane().m_nShownKind))) return;
  Image().m_nPictureObjectMode = 0;
  if (Rich()) SetTextModel(std::make_unique<PlainTextModel>());
  if (IsImageKind(Pane().m_nShownKind)) RefreshImage(RefreshMode::kKeepScroll);
}

int CQelView::OnSaveImageTemp() {
  LeavePictureObjectMode();
  const int result = SaveImageAs(ImageSaveCode::kBmpTarget, SaveImageMode::kTemporary).ok() ? 0 : -1;
  RepaintImage();
  return result;
}

// Saves the selected picture object under a name the user gives, as a picture.
int CQelView::OnSaveImageObject() {
  plat::RichEdit* rich = Rich();
  if (rich && g_pMainFrame) rich->Copy(g_pMainFrame->Ui().GetClipboard());
  return SaveImageAs(ImageSaveCode::kBmp, SaveImageMode::kAsk).ok() ? 0 : -1;
}

int CQelView::OnSaveImageAsOther() {
  LeavePictureObjectMode();
  return SaveImageAs(ImageSaveCode::kBmp, SaveImageMode::kAsk).ok() ? 0 : -1;
}
