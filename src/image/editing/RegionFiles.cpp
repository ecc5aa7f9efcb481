// The region and files: a picture file pasted into the region, and the region saved
// as a file. The pasted file is read into a DIB of its own: the document's image is
// set aside for the read and put back, so the shown image and the document stay as
// they were whatever the file holds.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "base/Alloc.h"
#include "base/AsciiCase.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ImageStatus.h"
#include "image/ViewRegionState.h"
#include "image/codecs/BmpFile.h"
#include "image/codecs/BmpImage.h"
#include "image/codecs/DibConvert.h"
#include "image/saving/ImageSaveFormats.h"
#include "image/saving/SaveFile.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "view/QelView.h"

namespace {

// Reads a picture file as a 24-bit BMP file image without touching the document's
// image: "" when it was read, else why not (CP932), as the file list's conversion
// says it: a picture too large to hold, cut at the "bmpfile" volume, ending before
// its last row, or no picture; or one whose rows pass the picture memory volume.
std::string LoadPictureAsBmp(CQelDoc& doc, const std::string& path, std::vector<uint8_t>& bmp) {
  ImageState& image = doc.Image();
  ImageState kept = std::move(image);
  image = ImageState{};
  image.m_ImageSettings = kept.m_ImageSettings;
  image.m_astrImageExt = kept.m_astrImageExt;
  // Quiet: the status line keeps describing the shown picture.
  const int quiet = doc.m_nQuietState;
  doc.m_nQuietState = 1;
  int loaded = doc.LoadImageFile(path, 0);
  doc.m_nQuietState = quiet;
  if (loaded == 0 && !image.m_pImageBits) loaded = -1;
  if (loaded == 0 && image.m_bImageShort) loaded = CQelDoc::kConvertShort;
  if (loaded == 0 && image.m_bImageCut) loaded = -3;
  std::string why = loaded == 0 ? "" : doc.ConvertImageFailureText(loaded);
  if (loaded == 0) {
    BITMAPINFO info = image.m_bmiImage;
    const BITMAPINFOHEADER& h = info.bmiHeader;
    const int64_t own = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
    const int64_t wide = DibImageBytes(h.biWidth, h.biHeight, 24);
    std::vector<uint8_t> bits;
    bool ok = false;
    if (own > image.m_nImageBitsSize) {
      why = ImageDataRefusedText(own, doc.m_nBmpDataLimit);
    } else if (own > 0 && wide > 0 && TryResize(bits, static_cast<size_t>(wide) + kDibSpareBytes, &doc.m_allocHook)) {
      if (h.biBitCount == 24) {
        std::memcpy(bits.data(), image.m_pImageBits, static_cast<size_t>(own));
        ok = true;
      } else {
        ok = ConvertDibTo24(image.m_pImageBits, bits.data(), &info, static_cast<int>(own),
                            static_cast<int>(bits.size())) > 0;
      }
      if (ok) bmp = BuildBmpFile(bits.data(), info);
      ok = ok && !bmp.empty();
    }
    if (!ok && why.empty()) why = OutOfMemoryText(" 678");
  }
  image = std::move(kept);
  return why;
}

// Why a file could not be pasted, with its name: it cannot be opened (the system's
// reason), or what its reading gave (by default: no picture of a kind the region takes).
void ShowPasteFailure(const std::string& path, const std::string& why = LoadString(IDS_IMAGE_BROKEN)) {
  plat::File file;
  int error = plat::IsDirectory(path) ? EISDIR : 0;
  if (error == 0 && !file.Open(path, plat::File::Mode::Read)) error = errno != 0 ? errno : EIO;
  if (error != 0) {
    AfxMessageBox(plat::ShownPath(path) + "\r\n" + LoadString(IDS_CANNOT_OPEN) + "(" + plat::Utf8ToCp932Lossy(std::strerror(error)) +
                  ")");
    return;
  }
  AfxMessageBox(plat::ShownPath(path) + "\r\n" + why);
}

}  // namespace

int CQelView::PasteRegionFromFile() {
  CFileDialog dialog(true, "");
  if (dialog.DoModal() != plat::IDOK || dialog.GetPathName().empty()) return -1;
  const std::string path = dialog.GetPathName();
  const int kind = m_doc.GetFileKind(path);
  std::vector<uint8_t> bmp;
  if (!IsImageKind(kind) || kind == kKindWmf || kind == kKindEmf) {
    ShowPasteFailure(path);
    return -1;
  }
  if (const std::string why = LoadPictureAsBmp(m_doc, path, bmp); !why.empty()) {
    ShowPasteFailure(path, why);
    return -1;
  }
  m_doc.Image().m_pBmpFile = std::move(bmp);
  if (!ApplyImageEdit(m_doc.m_bShiftDown ? ImageEdit::kPasteKeepWhite : ImageEdit::kPaste, "")) return -1;
  Region().m_nRegionCount = 1;
  return 0;
}

int CQelView::SaveRegionToFile() {
  if (!IsImageKind(Pane().m_nShownKind)) return CaptureScreen(kCaptureDataScreen);
  CFileDialog dialog(false, ".bmp");
  if (dialog.DoModal() != plat::IDOK || dialog.GetPathName().empty()) return -1;
  const std::string target = dialog.GetPathName();
  const std::string tail = AsciiLowerTail(target, 4);
  // Marked names are the protected forms, which a direct save cannot make.
  if (tail[0] == '+' || tail[0] == '-' || tail[0] == '=') {
    AfxMessageBox(IDS_CANNOT_SAVE_PACKED);
    return -1;
  }
  // Only the four writers' names: anything else would be a file of no known kind.
  const std::optional<ImageSaveCode> code = SaveCodeForTarget(target);
  if (!code || SaveFormat(*code).writer == ImageWriter::kPdf) {
    ShowCannotCreate(target, "the region is saved as .png, .jpg, .jpeg, .bmp or .bmz");
    return -1;
  }
  if (!ConfirmOverwrite(target)) return -1;
  BmpImageView image;
  if (CopyRegion() < 0 || !ReadBmpImage(m_doc.Image().m_pBmpFile, image)) {
    ShowCannotCreate(target, "the region holds no pixels of the picture");
    return -1;
  }
  // The region's copy is a BMP file already.
  if (SaveFormat(*code).writer == ImageWriter::kBmp) return ReplaceFileWith(target, m_doc.Image().m_pBmpFile).ok() ? 0 : -1;
  std::vector<uint8_t> bits(image.bits.begin(), image.bits.end());
  return m_doc.SaveDib(bits.data(), &image.info, target, *code).ok() ? 0 : -1;
}
