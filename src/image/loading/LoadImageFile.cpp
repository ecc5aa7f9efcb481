// CQelDoc::LoadImageFile: reads an image file into the DocImage. BMP files are read
// directly; other kinds go to a plug-in from the program folder when one is there,
// else to the built-in decoders (PNG, GIF, TIFF, BMZ, JPEG); ImageRoad.cpp chooses.
// Metafiles are handed to the view. Every size from the file is checked before a
// block is allocated; a failure after the old image was released leaves the
// document without an image.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "base/ByteCursor.h"
#include "base/CheckedSize.h"
#include "base/ConvertStatus.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/codecs/BmpFile.h"
#include "image/loading/ImageRoad.h"
#include "image/ImageStatus.h"
#include "image/loading/MetafileImage.h"
#include "platform/os/Files.h"
#include "platform/os/Plugin.h"

namespace {

constexpr int kOpenAttempts = 10;
constexpr int64_t kWaitCursorBytes = 2000000;
constexpr int64_t kMaxRowsOrStride = 1000000;

std::string StatusFor(int kind, int bits) {
  const char* format = nullptr;
  switch (kind) {
    case kKindBmp: format = "Bitmap %d bit"; break;
    case kKindJpeg: format = "Jpeg   %d bit"; break;
    case kKindPng: format = "PING   %d bit"; break;
    case kKindGif: format = "Gif    %d bit"; break;
    case kKindTiff: format = "Tiff   %d bit"; break;
    default: return "";
  }
  char text[32];
  std::snprintf(text, sizeof text, format, bits);
  return text;
}

bool ValidDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Opens the file, waiting a little for one that another program holds, and gives its
// length: 0, or the load's failure (-1, or -3 for a file above the "bmpfile" volume
// that is no BMP). A BMP over the volume is read up to the volume's bytes of rows
// behind its headers, so that the rows it keeps are whole.
int OpenImageFile(const std::string& path, int kind, int64_t limit, plat::File& file, int64_t& length) {
  for (int attempt = 0; !file.Open(path, plat::File::Mode::Read); ++attempt) {
    if (attempt + 1 >= kOpenAttempts || !plat::Exists(path)) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  length = file.GetLength();
  if (length > limit) {
    uint8_t head[14] = {};
    const int64_t got = file.Read(head, sizeof head);
    const bool bmp = got >= 2 && head[0] == 'B' && head[1] == 'M';
    file.Seek(0, plat::File::Origin::Begin);
    if (kind != kKindBmp && !bmp) return -3;
    const int64_t rowsAt = got == sizeof head ? ByteCursor(head, sizeof head).PeekU32LE(10) : 0;
    length = std::min(length, std::max<int64_t>(limit, 0) + std::min(rowsAt, kBmpHeadRoom));
  }
  return length <= 0 ? -1 : 0;
}

// The kind the first bytes show ("BM" and "GI"), else the kind of the name.
int SniffImageKind(plat::File& file, int kind) {
  uint8_t head[10] = {};
  file.Read(head, 10);
  file.Seek(0, plat::File::Origin::Begin);
  if (head[0] == 'B' && head[1] == 'M') return kKindBmp;
  if (head[0] == 'G' && head[1] == 'I') return kKindGif;
  return kind;
}

class WaitCursor {
 public:
  explicit WaitCursor(bool show) : on_(show && g_pMainFrame) {
    if (on_) g_pMainFrame->Ui().BeginWaitCursor();
  }
  ~WaitCursor() {
    if (on_ && g_pMainFrame) g_pMainFrame->Ui().EndWaitCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool on_;
};

// The whole file (up to length) into bytes, which hold 1000 spare bytes; false when
// it cannot be allocated (said in the display text) or read.
bool ReadImageBytes(CQelDoc& doc, plat::File& file, int64_t length, PictureRows& bytes) {
  if (!TryAllocate(bytes, length, 1, 1000, &doc.m_allocHook)) {
    doc.WriteConvertFailure(ConvertStatus::Message(IDS_OUT_OF_MEMORY));
    return false;
  }
  if (file.Read(bytes.data(), length) != length) return false;
  file.Close();
  return true;
}

// Makes the decoded image the DocImage: 0, or -1 (and no image) when the decoder
// failed or left an image out of bounds: it needs a positive height (top-down rows
// are refused), a real depth, stride and height below a million each, and a block
// that holds its rows (those the load keeps, when it keeps only some).
int TakeDecodedImage(CQelDoc& doc, const BITMAPINFO& decoded, bool ok, bool nameFormat, int kind) {
  BITMAPINFOHEADER& h = doc.Image().m_bmiImage.bmiHeader;
  h = decoded.bmiHeader;
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  const int64_t kept = doc.Image().m_nRowsKept > 0 ? doc.Image().m_nRowsKept : INT64_MAX;
  if (!ok || h.biHeight <= 0 || h.biWidth <= 0 || !ValidDepth(h.biBitCount) || stride > kMaxRowsOrStride ||
      h.biHeight > kMaxRowsOrStride || doc.Image().m_nImageAlloc < std::min(stride * h.biHeight, kept)) {
    doc.ReleaseImage();
    return -1;
  }
  if (h.biSizeImage == 0 || h.biSizeImage > stride * h.biHeight) h.biSizeImage = static_cast<uint32_t>(stride * h.biHeight);
  // The colour table, or the three masks of a bit-field image.
  const int colors = DibColorCount(h) + DibMaskCount(h);
  doc.Image().m_nImageInfoSize = kDibHeaderSize + 4 * colors;
  std::copy_n(decoded.bmiColors, colors, doc.Image().m_bmiImage.bmiColors);

  doc.TrimImage();
  doc.Image().m_nImageBitsSize = static_cast<int>(std::min<int64_t>(h.biSizeImage, doc.m_nBmpDataLimit));
  doc.Image().m_nImageWidth = h.biWidth;
  doc.Image().m_nImageHeight = h.biHeight;
  doc.Image().m_nImageLoadState = 1;
  if (nameFormat && doc.m_nQuietState == 0) ShowImageFormat(StatusFor(kind, h.biBitCount));
  return 0;
}

}  // namespace

int CQelDoc::RunPlugin(const std::string& library, const std::vector<uint8_t>& bytes, BITMAPINFO* out) {
  auto picture = plat::RunPicturePlugin(library, bytes);
  if (!picture || picture->info.size() < kDibHeaderSize) return 0;
  ByteCursor info(picture->info);
  *out = BITMAPINFO{};
  out->bmiHeader = ReadDibHeader(info);
  ReadDibColors(info, out->bmiColors, static_cast<int>(std::min<int64_t>((info.Remaining() + 3) / 4, 256)));
  const BITMAPINFOHEADER& h = out->bmiHeader;
  // The plug-in's rows are taken over when they cover the image its header describes.
  const int64_t need = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  if (need <= 0 || static_cast<int64_t>(picture->bits.size()) < need ||
      static_cast<int64_t>(picture->info.size()) < kDibHeaderSize + 4 * int64_t{DibColorCount(h)}) {
    return 0;
  }
  SetImageBlock(PictureRows(picture->bits.begin(), picture->bits.end()), 2);
  return 1;
}

int CQelDoc::LoadImageFile(std::string path, int option) {
  Image().m_ImageSettings.m_nColorPhase = option;
  int kind = GetFileKind(path);
  if (Image().m_nImageLoadState > 0) return -1;
  plat::File file;
  int64_t length = 0;
  if (const int refused = OpenImageFile(path, kind, m_nBmpFileLimit, file, length)) return refused;

  ReleaseImage();
  Image().m_nImageTooLarge = 0;
  WaitCursor wait(length > kWaitCursorBytes);
  kind = SniffImageKind(file, kind);
  const ImageRoad road = kind > kKindBmp ? ChooseImageRoad(kind, option, m_strProgramDir, Image().m_astrImageExt) : BmpImageRoad();
  if (road.by == ImageRoad::By::Metafile) {
    m_strPathName = path;
    PostViewAction({ViewActionKind::kLoadMetafile});
    return 0;
  }
  if (road.by == ImageRoad::By::Missing) {
    ConvAppend(LoadString(IDS_IMAGE_PLUGIN_MISSING));
    return -2;
  }

  // The file's bytes land in fresh zero pages, which the read fills without a clearing first.
  PictureRows bytes;
  if (!ReadImageBytes(*this, file, length, bytes)) return -1;
  BITMAPINFO decoded{};
  const int ok = road.by == ImageRoad::By::Plugin
                     ? RunPlugin(road.library, std::vector<uint8_t>(bytes.begin(), bytes.end()), &decoded)
                     : road.decode(*this, bytes.data(), static_cast<int>(length), &decoded, path);
  PictureRows().swap(bytes);
  // The status pane names the format here for BMP files and plug-ins; the built-in
  // decoders name it themselves.
  const bool nameFormat = road.by == ImageRoad::By::Plugin || kind <= kKindBmp;
  return TakeDecodedImage(*this, decoded, ok != 0, nameFormat, kind);
}
