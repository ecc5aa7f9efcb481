// CQelDoc::LoadImageFile: reads an image file into the DocImage. BMP files are read
// directly; other kinds go to a plug-in from the program folder when one is there,
// else to the built-in decoders (PNG, GIF, TIFF, BMZ). Metafiles are handed to the
// view. Every size from the file is checked before a block is allocated; a failure
// after the old image was released leaves the document without an image.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/CheckedSize.h"
#include "frame/MainFrame.h"
#include "image/ImageStatus.h"
#include "platform/Files.h"
#include "platform/Plugin.h"

namespace {

constexpr int kOpenAttempts = 10;
constexpr int64_t kWaitCursorBytes = 2000000;
constexpr int64_t kMaxRowsOrStride = 1000000;

enum class Decoder { None, Bmp, Jpeg, Png, Gif, Tiff, Bmz, Metafile, Plugin };


std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// The plug-in name of a kind ("" when the kind uses none).
std::string PluginName(int kind, const std::array<std::string, 5>& userExt) {
  switch (kind) {
    case kKindJpeg: return "IFJPEG";
    case kKindPng: return "IFPNG";
    case kKindGif: return "IFGIF";
    case kKindTiff: return "IFTIF";
    case kKindWmf: return "IFWMF";
    case kKindEmf: return "IFEMF";
    default: break;
  }
  if (kind >= kKindUserImage1 && kind <= kKindUserImage5) {
    std::string ext = userExt[static_cast<size_t>(kind - kKindUserImage1)];
    if (!ext.empty() && ext[0] == '.') ext = ext.size() > 3 ? ext.substr(ext.size() - 3) : ext.substr(1);
    return Upper("IF" + ext);
  }
  return "";
}

// The built-in road of a plug-in name that found no library.
Decoder BuiltInFor(const std::string& name) {
  if (name == "IFJPEG" || name == "IFJPG") return Decoder::Jpeg;
  if (name == "IFPNG") return Decoder::Png;
  if (name == "IFGIF") return Decoder::Gif;
  if (name == "IFTIF" || name == "IFTIFF") return Decoder::Tiff;
  if (name == "IFWMF" || name == "IFEMF") return Decoder::Metafile;
  return Decoder::None;
}

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

// Plug-ins come from the program folder only: "NAME.SPI", else for a registered
// kind the first "NAME5*.SPI" there (the name cut to five characters).
std::string FindPlugin(const std::string& folder, const std::string& name, bool pattern) {
  const std::string exact = folder + "\\" + name + ".SPI";
  if (plat::Exists(exact)) return exact;
  if (!pattern) return "";
  const std::string stem = name.substr(0, std::min<size_t>(name.size(), 5));
  const auto entries = plat::ListDirectory(folder);
  if (!entries) return "";
  std::vector<std::string> names;
  for (const auto& e : *entries) {
    const std::string upper = Upper(e.name);
    if (!e.isDirectory && e.nameExact && upper.size() >= stem.size() + 4 && upper.rfind(stem, 0) == 0 &&
        upper.compare(upper.size() - 4, 4, ".SPI") == 0) {
      names.push_back(e.name);
    }
  }
  if (names.empty()) return "";
  std::sort(names.begin(), names.end());
  return folder + "\\" + names.front();
}

}  // namespace

int CQelDoc::RunPlugin(const std::string& library, const std::vector<uint8_t>& bytes, BITMAPINFO* out) {
  auto picture = plat::RunPicturePlugin(library, bytes);
  if (!picture || picture->info.size() < kDibHeaderSize) return 0;
  std::memset(out, 0, sizeof *out);
  std::memcpy(out, picture->info.data(), std::min(picture->info.size(), sizeof *out));
  const BITMAPINFOHEADER& h = out->bmiHeader;
  // The plug-in's rows are taken over when they cover the image its header describes.
  const int64_t need = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  if (need <= 0 || static_cast<int64_t>(picture->bits.size()) < need ||
      static_cast<int64_t>(picture->info.size()) < kDibHeaderSize + 4 * int64_t{DibColorCount(h)}) {
    return 0;
  }
  SetImageBlock(std::move(picture->bits), 2);
  return 1;
}

int CQelDoc::LoadImageFile(std::string path, int option) {
  m_ImageSettings.m_nColorPhase = option;
  int kind = GetFileKind(path);
  if (m_nImageLoadState > 0) return -1;

  plat::File file;
  for (int attempt = 0; !file.Open(path, plat::File::Mode::Read); ++attempt) {
    // A file that is there but cannot be opened yet may be held by another program.
    if (attempt + 1 >= kOpenAttempts || !plat::Exists(path)) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  int64_t length = file.GetLength();
  if (length > m_nBmpFileLimit) {
    uint8_t head[2] = {};
    const bool bmp = file.Read(head, 2) == 2 && head[0] == 'B' && head[1] == 'M';
    file.Seek(0, plat::File::Origin::Begin);
    if (kind != kKindBmp && !bmp) return -3;
    length = m_nBmpFileLimit;
  }
  if (length <= 0) return -1;

  ReleaseImage();
  struct WaitCursor {
    bool on;
    explicit WaitCursor(bool show) : on(show && g_pMainFrame) {
      if (on) g_pMainFrame->Ui().BeginWaitCursor();
    }
    ~WaitCursor() {
      if (on && g_pMainFrame) g_pMainFrame->Ui().EndWaitCursor();
    }
  } wait(length > kWaitCursorBytes);

  uint8_t head[10] = {};
  file.Read(head, 10);
  file.Seek(0, plat::File::Origin::Begin);
  if (head[0] == 'B' && head[1] == 'M') kind = kKindBmp;
  if (head[0] == 'G' && head[1] == 'I') kind = kKindGif;

  BITMAPINFO decoded{};
  Decoder decoder = Decoder::Bmp;
  std::string library;
  if (kind > kKindBmp) {
    decoder = Decoder::None;
    const std::string name = PluginName(kind, m_astrImageExt);
    if (kind == kKindBmz) {
      decoder = Decoder::Bmz;
    } else if (kind != kKindWmf && kind != kKindEmf && !name.empty()) {
      library = FindPlugin(m_strProgramDir, name, false);
      if (!library.empty()) decoder = Decoder::Plugin;
    }
    if (decoder == Decoder::None) {
      decoder = BuiltInFor(name);
      if (name == "IFTIF") {
        library = FindPlugin(m_strProgramDir, "IFTIFF", false);
        if (!library.empty()) decoder = Decoder::Plugin;
      }
      if (decoder == Decoder::Metafile) {
        m_strPathName = path;
        m_nViewAction = 33;
        UpdateAllViews();
        return 0;
      }
      if (decoder == Decoder::None) {
        library = FindPlugin(m_strProgramDir, name, true);
        if (library.empty() || !plat::CanLoadPlugin(library)) {
          ConvAppend(LoadString(333));
          return -2;
        }
        decoder = Decoder::Plugin;
      }
    }
    if (decoder == Decoder::Plugin && kind == kKindJpeg && option > 0) decoder = Decoder::Jpeg;
  }

  std::vector<uint8_t> bytes;
  if (!TryAllocate(bytes, length, 1, 1000, &m_allocHook)) {
    ConvAppend(LoadString(IDS_OUT_OF_MEMORY));
    return -1;
  }
  if (file.Read(bytes.data(), length) != length) return -1;
  file.Close();
  const int n = static_cast<int>(length);
  int ok = 0;
  switch (decoder) {
    case Decoder::Bmp: ok = DecodeBmp(bytes.data(), n, &decoded); break;
    case Decoder::Jpeg: ok = DecodeJpeg(bytes.data(), n, &decoded); break;
    case Decoder::Png: ok = DecodePng(bytes.data(), n, &decoded); break;
    case Decoder::Gif: ok = DecodeGif(bytes.data(), n, &decoded); break;
    case Decoder::Tiff: ok = DecodeTiff(bytes.data(), n, &decoded); break;
    case Decoder::Bmz: ok = ReadBmz(bytes.data(), n, &decoded, path); break;
    case Decoder::Plugin: ok = RunPlugin(library, bytes, &decoded); break;
    default: break;
  }
  std::vector<uint8_t>().swap(bytes);
  const bool builtIn = decoder != Decoder::Plugin && decoder != Decoder::Bmp;

  // The image as its decoder left it: a positive height (top-down rows are refused),
  // a real depth, stride and height below a million each.
  BITMAPINFOHEADER& h = m_bmiImage.bmiHeader;
  h = decoded.bmiHeader;
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  if (!ok || h.biHeight <= 0 || h.biWidth <= 0 || !ValidDepth(h.biBitCount) || stride > kMaxRowsOrStride ||
      h.biHeight > kMaxRowsOrStride || m_nImageAlloc < stride * h.biHeight) {
    ReleaseImage();
    return -1;
  }
  if (h.biSizeImage == 0 || h.biSizeImage > stride * h.biHeight) h.biSizeImage = static_cast<uint32_t>(stride * h.biHeight);
  const int colors = DibColorCount(h);
  m_nImageInfoSize = kDibHeaderSize + 4 * colors;
  std::memcpy(m_bmiImage.bmiColors, decoded.bmiColors, 4 * static_cast<size_t>(colors));

  TrimImage();
  m_nImageBitsSize = static_cast<int>(std::min<int64_t>(h.biSizeImage, m_nBmpDataLimit));
  m_nImageWidth = h.biWidth;
  m_nImageHeight = h.biHeight;
  m_nImageLoadState = 1;
  if (!builtIn && m_nQuietState == 0) ShowImageFormat(StatusFor(kind, h.biBitCount));
  return 0;
}
