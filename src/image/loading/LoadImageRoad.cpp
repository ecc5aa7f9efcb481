// The load road of image kinds: the display text is cleared and the picture loaded;
// a failure becomes the display text (349 broken or unknown, 238 over the "bmpfile"
// volume, 333 a registered kind without its plug-in; a picture too large to hold says
// so). A BMP shown cut at the volume says so with the same message and the setting
// that raises it, a picture shown cut at the picture memory volume likewise.
#include <cstdio>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ImageStatus.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

// A small file whose picture (a run-length BMP's rows) passes the "bmpfile" volume: the
// picture is over it, not the file. "" when the file itself is over.
std::string PictureOverText(const std::string& path, int64_t volume) {
  const auto file = plat::Stat(path);
  if (!file || file->size > volume) return "";
  return plat::Utf8ToCp932Lossy("\r\n(the file is " + std::to_string(file->size) + " bytes: its decoded picture passes the volume)");
}

}  // namespace

int CQelDoc::LoadImageRoad(const std::string& path) {
  m_nConvPos = 0;
  // The viewer holds no more of a picture's rows than it shows.
  Image().m_nRowsKept = m_nBmpDataLimit;
  const int result = LoadImageFile(path, 0);
  Image().m_nRowsKept = 0;
  if (result == 0) {
    if (Image().m_bImageCut) {
      AfxNote(GetPathPart(path, PathPart::kName) + " : " + ImageVolumeOverText(m_nBmpFileLimit) + PictureOverText(path, m_nBmpFileLimit));
    }
    const int64_t rows = Image().m_pImageBits ? Image().m_bmiImage.bmiHeader.biSizeImage : 0;
    if (rows > m_nBmpDataLimit) AfxNote(GetPathPart(path, PathPart::kName) + " : " + ImageDataOverText(rows, m_nBmpDataLimit));
    return m_nConvPos;
  }
  if (result == -1 && Image().m_nImageTooLarge > 0) {
    ConvAppend(ImageTooLargeText(Image().m_nImageTooLarge));
  } else if (result == -1) {
    ConvAppend(LoadString(IDS_IMAGE_BROKEN));
  } else if (result == -3) {
    ConvPrintf(LoadString(IDS_FILE_SIZE_OVER).c_str(), m_nBmpFileLimit >> 20);
    ConvAppend(PictureOverText(path, m_nBmpFileLimit));
    m_volumeCut = VolumeCut::kImageFile;
  } else {
    m_nConvPos = 0;
    ConvAppend(LoadString(IDS_IMAGE_PLUGIN_MISSING));
  }
  return m_nConvPos;
}
