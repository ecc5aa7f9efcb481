// Saving what the image view shows: the rendered picture is read back from the
// display bitmap (in picture-object mode, the selected object's picture from the
// clipboard) and handed to the document's writers, in the format the target's
// extension and the ImageSaveCode ask for; a ".pdf" target wraps a standard JPEG.
#include <algorithm>
#include <cstring>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ViewImageState.h"
#include "image/codecs/DibConvert.h"
#include "image/saving/ImageSaveCode.h"
#include "platform/text/CodePage.h"
#include "view/QelView.h"

namespace {

std::string LowerTail(const std::string& name, size_t n) {
  std::string tail = name.size() >= n ? name.substr(name.size() - n) : name;
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return tail;
}

const char* DefaultExtension(int code) {
  switch (code) {
    case 4: return ".bmz";
    case 5:
    case 9:
    case 10:
    case 11: return ".png";
    case 6:
    case 7:
    case 8: return ".jpg";
    default: return ".bmp";
  }
}

// BMP bytes never go under another format's name: a BMP save to a name that is not
// a BMP, BMZ, PNG or JPEG name (or a PDF, which wraps a JPEG) writes base + ".bmp".
bool KeepsItsNameForBmp(int kind) {
  return kind == kKindBmp || kind == kKindBmz || kind == kKindPng || kind == kKindJpeg;
}

}  // namespace

int CQelView::SaveImageAs(int code, SaveImageMode mode) {
  std::string target;
  if (mode == SaveImageMode::kViewName || mode == SaveImageMode::kDocumentPath || mode == SaveImageMode::kConvert) {
    target = mode == SaveImageMode::kViewName ? Pane().m_strFileName : m_doc.m_strPathName;
    const int kind = m_doc.GetFileKind(target);
    if (kind < kKindBmp || kind > 30) {
      AfxMessageBox("File eror");
      return -1;
    }
  } else if (mode == SaveImageMode::kTemporary) {
    const std::string base = CQelDoc::GetPathPart(Pane().m_strFileName, PathPart::kWithoutExtension);
    target = base + (LowerTail(base, 4) == "_tmp" ? ".bmp" : "_TMP.bmp");
  } else {
    CFileDialog dialog(false, CQelDoc::GetPathPart(Pane().m_strFileName, PathPart::kWithoutExtension) + DefaultExtension(code));
    if (dialog.DoModal() != plat::IDOK || dialog.GetPathName().empty()) return -1;
    target = dialog.GetPathName();
  }
  const std::string tail = LowerTail(target, 4);
  if (tail == "-bmp" || tail == "=bmp" || tail == "+bmp") {
    AfxMessageBox(338);
    return -1;
  }
  const bool pdf = tail == ".pdf";
  // The name written is the name asked about: a BMP renamed to ".bmp" is confirmed
  // under that name, never the one the user typed.
  const bool renamed = !pdf && code <= kSaveBmpTarget && !KeepsItsNameForBmp(m_doc.GetFileKind(target));
  if (renamed) target = CQelDoc::GetPathPart(target, PathPart::kWithoutExtension) + ".bmp";
  if ((mode == SaveImageMode::kAsk || renamed) && !ConfirmOverwrite(target)) return -1;
  std::string pdfTarget;
  if (pdf) {
    pdfTarget = target;
    target = m_doc.TmpFolder() + "\\Pelnor1.jpg";
    code = kSaveJpegStandard;
  }

  // What is shown: the painted picture, or in picture-object mode the selected
  // object's picture as the control copies it.
  BITMAPINFO info{};
  std::vector<uint8_t> bits;
  const bool read = IsPictureObjectMode() ? ReadObjectDib(info, bits) : ReadDisplayDib(info, bits);
  if (!read || info.bmiHeader.biWidth <= 0 || info.bmiHeader.biHeight <= 0) {
    AfxMessageBox(334);
    return -1;
  }
  const int depth = info.bmiHeader.biBitCount;
  switch (m_doc.GetFileKind(target)) {
    case kKindBmp: code = kSaveBmpTarget; break;
    case kKindBmz: code = kSaveBmz; break;
    case kKindPng:
      if (code < kSavePng1 || code > kSavePng8) code = depth == 1 ? 9 : depth == 4 ? 10 : depth == 8 ? 11 : kSavePng;
      break;
    case kKindJpeg:
      if (code < kSaveJpegHigh || code > kSaveJpegBest) code = LowerTail(target, 5) == ".jpeg" ? 8 : 7;
      break;
    default:
      // Any other name keeps the code (a PNG under "gg.gif" is a PNG).
      break;
  }
  m_doc.SaveDib(bits.data(), &info, target, code);
  if (!m_doc.Image().m_bLastSaveOk) return -1;
  if (pdf) {
    // A PDF that could not be written (its writer said why) is no save.
    m_doc.WritePdf(pdfTarget, target, info.bmiHeader.biWidth, info.bmiHeader.biHeight);
    if (!m_doc.Image().m_bLastSaveOk) return -1;
  }
  if (!m_doc.m_nViewAction.Is(ViewActionKind::kSaveKeepsLists) && mode != SaveImageMode::kConvert) {
    if (g_pMainFrame) g_pMainFrame->ActivateListPane(0, m_doc.m_nActiveList - 1);
    m_doc.m_nViewRequest = kRefreshLists;
    m_doc.UpdateAllViews();
  }
  return 0;
}

int CQelView::SaveSourceImage(int code, BITMAPINFO info) {
  // The name shown is never overwritten by another format: the code's own extension.
  const std::string target = CQelDoc::GetPathPart(m_doc.m_strPathName, PathPart::kWithoutExtension) + DefaultExtension(code);
  if (!ConfirmOverwrite(target)) return 0;
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const int64_t bytes = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  if (bytes <= 0 || bytes > Image().m_nImageBitsSize) return 0;
  std::vector<uint8_t> wide;
  const uint8_t* bits = Image().m_pImageBits;
  if ((h.biBitCount == 32 && code == 5) || (h.biBitCount != 24 && code > 5)) {
    const int64_t wideBytes = DibImageBytes(h.biWidth, h.biHeight, 24);
    if (wideBytes <= 0 || !TryResize(wide, static_cast<size_t>(wideBytes) + kDibSpareBytes, &m_doc.m_allocHook)) {
      AfxMessageBox(OutOfMemoryText(" 662"));
      return 0;
    }
    if (ConvertDibTo24(Image().m_pImageBits, wide.data(), &info, static_cast<int>(bytes), static_cast<int>(wide.size())) <= 0) {
      return 0;
    }
    bits = wide.data();
  }
  m_doc.SaveDib(bits, &info, target, code);
  return m_doc.Image().m_bLastSaveOk ? 1 : 0;
}

int CQelView::OnSavePdf() {
  const ImageConvertSettings& s = Image().m_ImageSettings;
  std::string jpeg = Pane().m_strFileName;
  // An unchanged JPEG is embedded as it is; anything edited or rendered otherwise is
  // written first as the standard JPEG of what is shown.
  const bool unchanged = Pane().m_nShownKind == kKindJpeg && !s.m_bTransform && !s.m_bActive && s.m_nZoomIndex == 5 &&
                         s.m_nFitTenths == 0 && !s.m_nColorPhase && !Image().m_bImageDirty;
  if (!unchanged) {
    jpeg = m_doc.TmpFolder() + "\\Pelnor1.jpg";
    const std::string keep = m_doc.m_strPathName;
    m_doc.m_strPathName = jpeg;
    const int saved = SaveImageAs(kSaveJpegStandard, SaveImageMode::kDocumentPath);
    m_doc.m_strPathName = keep;
    if (saved < 0) return -1;
  }
  m_doc.WritePdf(Pane().m_strFileName, jpeg, Image().m_nPaintWidth, Image().m_nPaintHeight);
  return m_doc.Image().m_bLastSaveOk ? 0 : -1;
}
