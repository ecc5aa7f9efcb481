// Saving what the image view shows: the rendered picture is read back from the
// display bitmap (in picture-object mode, the selected object's picture from the
// clipboard) and handed to the document's writers, in the format the target's
// extension and the ImageSaveCode ask for; a ".pdf" target wraps a standard JPEG.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "base/AsciiCase.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "image/ImageStatus.h"
#include "image/ViewImageState.h"
#include "image/codecs/DibConvert.h"
#include "image/saving/ImageSaveFormats.h"
#include "image/saving/SaveFile.h"
#include "platform/text/CodePage.h"
#include "view/QelView.h"

namespace {

// BMP bytes never go under another format's name: a BMP save to a name that is not
// a BMP, BMZ, PNG or JPEG name (or a PDF, which wraps a JPEG) writes base + ".bmp".
bool KeepsItsNameForBmp(int kind) {
  return kind == kKindBmp || kind == kKindBmz || kind == kKindPng || kind == kKindJpeg;
}

// The code follows the target's kind: a BMP or BMZ name its own, a PNG name the
// depth of the picture unless a PNG depth was asked for, a JPEG name its level
// unless a JPEG level was asked for; any other name keeps the code (a PNG under
// "gg.gif" is a PNG).
ImageSaveCode CodeForTargetKind(ImageSaveCode code, int kind, const std::string& target, int depth) {
  const ImageSaveFormat& format = SaveFormat(code);
  switch (kind) {
    case kKindBmp: return ImageSaveCode::kBmpTarget;
    case kKindBmz: return ImageSaveCode::kBmz;
    case kKindPng: return format.writer == ImageWriter::kPng && format.depth < 24 ? code : PngCodeForDepth(depth);
    case kKindJpeg: return format.writer == ImageWriter::kJpeg ? code : JpegCodeForName(target);
    default: return code;
  }
}

}  // namespace

ConvertStatus CQelView::SaveImageAs(ImageSaveCode code, SaveImageMode mode) {
  std::string target;
  if (mode == SaveImageMode::kDocumentPath) {
    target = m_doc.m_strPathName;
    if (!IsImageKind(m_doc.GetFileKind(target))) {
      AfxMessageBox("File eror");
      return SaveNotWritten();
    }
  } else if (mode == SaveImageMode::kTemporary) {
    const std::string base = CQelDoc::GetPathPart(Pane().m_strFileName, PathPart::kWithoutExtension);
    target = base + (AsciiLowerTail(base, 4) == "_tmp" ? ".bmp" : "_TMP.bmp");
  } else {
    CFileDialog dialog(false, CQelDoc::GetPathPart(Pane().m_strFileName, PathPart::kWithoutExtension) + SaveFormat(code).extension);
    if (dialog.DoModal() != plat::IDOK || dialog.GetPathName().empty()) return SaveCancelled();
    target = dialog.GetPathName();
  }
  return SaveImageTo(code, mode, target);
}

ConvertStatus CQelView::SaveImageTo(ImageSaveCode code, SaveImageMode mode, std::string target) {
  const std::string tail = AsciiLowerTail(target, 4);
  if (tail == "-bmp" || tail == "=bmp" || tail == "+bmp") {
    AfxMessageBox(IDS_CANNOT_SAVE_PACKED);
    return ConvertStatus::Message(IDS_CANNOT_SAVE_PACKED);
  }
  const bool pdf = tail == ".pdf";
  // The name written is the name asked about: a BMP renamed to ".bmp" is confirmed
  // under that name, never the one the user typed.
  const bool renamed = !pdf && SaveFormat(code).writer == ImageWriter::kBmp && !KeepsItsNameForBmp(m_doc.GetFileKind(target));
  if (renamed) target = CQelDoc::GetPathPart(target, PathPart::kWithoutExtension) + ".bmp";
  if ((mode == SaveImageMode::kAsk || renamed) && !ConfirmOverwrite(target)) return SaveCancelled();
  if (pdf) code = ImageSaveCode::kPdfTarget;

  // What is shown: the painted picture, or in picture-object mode the selected
  // object's picture as the control copies it.
  BITMAPINFO info{};
  std::vector<uint8_t> bits;
  const bool read = IsPictureObjectMode() ? ReadObjectDib(info, bits) : ReadDisplayDib(info, bits);
  if (!read || info.bmiHeader.biWidth <= 0 || info.bmiHeader.biHeight <= 0) {
    AfxMessageBox(IDS_OBJECT_KIND_DIFFERS);
    return ConvertStatus::Message(IDS_OBJECT_KIND_DIFFERS);
  }
  code = CodeForTargetKind(code, m_doc.GetFileKind(target), target, info.bmiHeader.biBitCount);
  // A PDF that could not be written (its writer said why) is no save.
  if (const ConvertStatus saved = m_doc.SaveDib(bits.data(), &info, target, code); !saved.ok()) return saved;
  if (g_pMainFrame) g_pMainFrame->ActivateListPane(0, m_doc.m_nActiveList - 1);
  m_doc.m_nViewRequest = kRefreshLists;
  m_doc.UpdateAllViews();
  return ConvertStatus::Ok();
}

int CQelView::SaveSourceImage(ImageSaveCode code, BITMAPINFO info) {
  const ImageSaveFormat& format = SaveFormat(code);
  // The name shown is never overwritten by another format: the code's own extension.
  const std::string target = CQelDoc::GetPathPart(m_doc.m_strPathName, PathPart::kWithoutExtension) + format.extension;
  if (!ConfirmOverwrite(target)) return 0;
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const int64_t bytes = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  // A picture held only up to the picture memory volume has no whole source to save.
  if (bytes <= 0 || bytes > Image().m_nImageBitsSize) {
    ShowCannotCreate(target, bytes <= 0 ? "the picture's rows would pass the largest picture held"
                                        : ImageDataOverText(bytes, m_doc.m_nBmpDataLimit));
    return 0;
  }
  std::vector<uint8_t> wide;
  const uint8_t* bits = Image().m_pImageBits;
  // The image's own rows are widened here where the format writes 24 bits: JPEG,
  // PDF and the PNGs of a fixed depth from any other depth, the PNG of full colour
  // from 32 bits.
  const bool widePng = format.writer == ImageWriter::kPng && format.keepsPalette && h.biBitCount == 32;
  const bool fixedDepth = format.depth != kOwnDepth && !format.keepsPalette && h.biBitCount != 24;
  if (widePng || fixedDepth) {
    const int64_t wideBytes = DibImageBytes(h.biWidth, h.biHeight, 24);
    if (wideBytes <= 0 || !TryResize(wide, static_cast<size_t>(wideBytes) + kDibSpareBytes, &m_doc.m_allocHook)) {
      AfxMessageBox(OutOfMemoryText(" 662"));
      return 0;
    }
    if (ConvertDibTo24(Image().m_pImageBits, wide.data(), &info, static_cast<int>(bytes), static_cast<int>(wide.size())) <= 0) {
      ShowCannotCreate(target, "the picture's " + std::to_string(h.biBitCount) + "-bit rows could not be widened to 24 bits");
      return 0;
    }
    bits = wide.data();
  }
  return m_doc.SaveDib(bits, &info, target, code).ok() ? 1 : 0;
}

ConvertStatus CQelView::OnSavePdf() {
  const ImageConvertSettings& s = Image().m_ImageSettings;
  std::string jpeg = Pane().m_strFileName;
  // An unchanged JPEG is embedded as it is; anything edited or rendered otherwise is
  // written first as the standard JPEG of what is shown, to the work file.
  const bool unchanged = Pane().m_nShownKind == kKindJpeg && !s.m_bTransform && !s.m_bActive && s.m_nZoomIndex == 5 &&
                         s.m_nFitTenths == 0 && !s.m_nColorPhase && !Image().m_bImageDirty;
  if (!unchanged) {
    jpeg = PdfWorkJpeg(m_doc);
    const ConvertStatus saved = SaveImageTo(ImageSaveCode::kJpegStandard, SaveImageMode::kDocumentPath, jpeg);
    if (!saved.ok()) return saved;
  }
  return m_doc.WritePdf(Pane().m_strFileName, jpeg, Image().m_nPaintWidth, Image().m_nPaintHeight);
}
