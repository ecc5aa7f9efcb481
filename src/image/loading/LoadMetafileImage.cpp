// CQelView::LoadMetafileImage: a metafile (EMF, or WMF with or without its
// placeable header) becomes the document image, a 24-bit DIB of the size its
// header states (compressed when large, zoomed in fit mode), played on white by
// the host layer's metafile player with the document's JPEG and PNG decoders for
// the bitmaps it carries. A frame that is empty, inverted or too large is refused
// with message 332 rather than sized from garbage. The batch conversion draws a
// metafile the same way at the size its header states.
#include <algorithm>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "base/CheckedSize.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ViewImageState.h"
#include "image/loading/MetafileImage.h"
#include "platform/os/Files.h"
#include "view/QelView.h"

int LoadMetafileDocImage(CQelDoc& doc, const std::string& path, const std::function<void(int&, int&)>& resize,
                         int* compression) {
  plat::File file;
  if (!file.Open(path, plat::File::Mode::Read)) return -1;
  const int64_t length = file.GetLength();
  if (length <= 0 || length > std::max(doc.m_nBmpFileLimit, 0)) return -1;
  std::vector<uint8_t> bytes;
  if (!TryAllocate(bytes, length, 1, 0, &doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 668"));
    return -1;
  }
  if (file.Read(bytes.data(), length) != length) return -1;
  file.Close();

  plat::MetafileHeader header;
  MetafilePictureSize size;
  if (plat::ReadMetafileHeader(bytes, header)) size = MetafileImageSize(header);
  if (!size.ok) {
    AfxMessageBox(LoadString(IDS_IMAGE_CANNOT_SHOW));
    return -1;
  }
  if (resize) {
    resize(size.width, size.height);
    if (int64_t{size.width} * size.height > kMaxMetafilePixels || size.width > kMaxMetafileSide) {
      AfxMessageBox(LoadString(IDS_IMAGE_CANNOT_SHOW));
      return -1;
    }
  }

  const int64_t stride = DibStride(size.width, 24);
  const int64_t image = stride * size.height;
  PictureRows block;
  if (!TryAllocate(block, image, 1, kDibSpareBytes, &doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 668"));
    return -1;
  }
  plat::GdiHost unlimited;
  plat::GdiHost& gdi = g_pMainFrame ? g_pMainFrame->Ui().Gdi() : unlimited;
  if (!RenderMetafileDib(bytes, size.width, size.height, gdi, std::span(block).first(static_cast<size_t>(image)),
                         MetafilePictures(doc))) {
    AfxMessageBox(LoadString(IDS_IMAGE_CANNOT_SHOW));
    return -1;
  }

  doc.ReleaseImage();
  BITMAPINFOHEADER& h = doc.Image().m_bmiImage.bmiHeader;
  h = BITMAPINFOHEADER{kDibHeaderSize, size.width, size.height, 1, 24, 0, static_cast<uint32_t>(image),
                       kDibPixelsPerMeter, kDibPixelsPerMeter, 0, 0};
  doc.SetImageBlock(std::move(block));
  doc.Image().m_nImageInfoSize = kDibHeaderSize;
  doc.Image().m_nImageBitsSize = static_cast<int>(image);
  doc.Image().m_nImageWidth = size.width;
  doc.Image().m_nImageHeight = size.height;
  doc.Image().m_nImageLoadState = 1;
  if (compression) *compression = size.compression;
  return 0;
}

int CQelView::LoadMetafileImage(const std::string& path) {
  std::function<void(int&, int&)> fit;
  if (Image().m_bFitToWindow > 0) {
    fit = [this](int& width, int& height) {
      ApplyMetafileZoom(Image().m_ImageSettings.m_nZoomIndex, width, height);
      Image().m_ImageSettings.m_nZoomIndex = 5;
      m_doc.Image().m_ImageSettings.m_nZoomIndex = 5;
    };
  }
  int compression = 1;
  if (LoadMetafileDocImage(m_doc, path, fit, &compression) != 0) return -1;
  Image().m_nCompressDivisor = compression;
  Image().m_strCompressedFile = path;
  return 0;
}
