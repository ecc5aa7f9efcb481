// CQelDoc::ConvertImageFile: the file list's batch conversion of one picture. The
// source is loaded as the document image and saved in the format of the target's
// extension, as the save commands take it: .bmp, .bmz, .png, .jpg/.jpeg, and .pdf
// (a JPEG at the standard level wrapped by the PDF writer). A metafile is drawn at
// the size its header states. A picture whose data ends before its last row, or a
// BMP cut at the "bmpfile" volume, is refused: the target is left as it was.
#include <cstdio>
#include <optional>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "image/ImageState.h"
#include "image/saving/ImageSaveFormats.h"
#include "image/ImageStatus.h"
#include "image/loading/MetafileImage.h"
#include "platform/os/Files.h"

int CQelDoc::ConvertImageFile(std::string source, std::string target) {
  const std::optional<ImageSaveCode> code = SaveCodeForTarget(target);
  if (!code) return -5;
  // A drive letter names a file only on a pseudo-drive, and nothing is written to one.
  if (RefuseFalseFtpDrive(source) || RefuseFtpDriveSave(target)) return kConvertRefusedName;
  Image().m_nImageLoadState = 0;
  const int loaded = LoadImageFile(source, 0);
  Image().m_nImageLoadState = 0;
  if (loaded != 0) return loaded;
  // A metafile is left for the view to draw; when none took it, it is drawn here.
  if (!Image().m_pImageBits && TakePendingMetafile()) {
    const int drawn = LoadMetafileDocImage(*this, source, nullptr, nullptr);
    Image().m_nImageLoadState = 0;
    if (drawn != 0) return -1;
  }
  if (!Image().m_pImageBits) return -1;
  // A picture the viewer shows in part is never written as if it were whole.
  if (Image().m_bImageShort) return kConvertShort;
  if (Image().m_bImageCut) return -3;
  BITMAPINFO info = Image().m_bmiImage;
  const bool ok = SaveDib(Image().m_pImageBits, &info, target, *code).ok();
  // A PDF's JPEG is a work file of this conversion.
  if (SaveFormat(*code).writer == ImageWriter::kPdf) plat::RemoveFile(PdfWorkJpeg(*this));
  return ok ? 0 : -4;
}

std::string CQelDoc::ConvertImageFailureText(int result) const {
  switch (result) {
    case -2: return LoadString(IDS_IMAGE_PLUGIN_MISSING);
    case -3: return ImageVolumeOverText(m_nBmpFileLimit);
    case -4: return "the converted picture could not be written";
    case -5: return "the format comes from the extension: bmp bmz png jpg jpeg pdf";
    case kConvertShort: return LoadString(IDS_IMAGE_BROKEN) + "\r\n(the data ends before the picture's last row)";
    case -1:
      if (Image().m_nImageTooLarge > 0) return ImageTooLargeText(Image().m_nImageTooLarge);
      return LoadString(IDS_IMAGE_BROKEN);
    default: return LoadString(IDS_IMAGE_BROKEN);
  }
}
