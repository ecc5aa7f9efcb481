// Pictures of a PDF: the chosen image XObject's stream becomes an ordinary image
// file in the TMP folder (JPEG and other files as they are, CCITT fax data inside a
// minimal TIFF, raw samples as a BMP) and is loaded as the document's picture.
// Sizes are computed in 64 bits; only 1, 4 and 8 bits a component are shown.
#include <algorithm>
#include <array>
#include <cstring>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "convert/pdf/PdfReader.h"
#include "convert/pdf/PdfStreamDecode.h"
#include "convert/pdf/PdfValueReaders.h"
#include "base/ByteOrder.h"
#include "platform/os/Files.h"

namespace {

constexpr int kMaxRow = 32000;
constexpr int kPictureNotWritten = -4;  // a TMP file could not be written or read
constexpr int kPictureTooLarge = -3;    // larger than the picture volume

void Entry(std::vector<uint8_t>& out, int tag, int type, uint32_t value) {
  AppendLE16(out, static_cast<uint16_t>(tag));
  AppendLE16(out, static_cast<uint16_t>(type));
  AppendLE32(out, 1);
  if (type == 3) {
    AppendLE16(out, static_cast<uint16_t>(value));
    AppendLE16(out, 0);
  } else {
    AppendLE32(out, value);
  }
}

}  // namespace

int CQelDoc::PdfExtractImage(const uint8_t* data, int length, int ccitt, int mode, int width, int height) {
  if (!data || length <= 0) return -1;
  const ByteCursor in(data, length);
  std::vector<uint8_t> file;
  std::string name;
  if (mode == kPdfCcittWhiteIsZero || mode == kPdfCcittBlackIsZero) {
    // CCITT fax data behind a minimal little-endian TIFF header of 128 bytes.
    m_nFileKind = kKindTiff;
    name = "pdftmp.tif";
    file = {'I', 'I', 42, 0};
    AppendLE32(file, 8);
    AppendLE16(file, 8);
    Entry(file, 0x0100, 3, static_cast<uint32_t>(std::clamp(width, 0, 65535)));
    Entry(file, 0x0101, 3, static_cast<uint32_t>(std::clamp(height, 0, 65535)));
    Entry(file, 0x0103, 3, static_cast<uint32_t>(ccitt == 4 ? 4 : 3));
    Entry(file, 0x0106, 3, mode == kPdfCcittBlackIsZero ? 1 : 0);
    Entry(file, 0x0111, 4, 128);
    Entry(file, 0x0117, 4, static_cast<uint32_t>(length));
    Entry(file, 0x011A, 5, 110);
    Entry(file, 0x011B, 5, 110);
    AppendLE32(file, 0);
    AppendLE32(file, 204);
    AppendLE32(file, 1);
    file.resize(128, 0);
    mode = 0;
  } else if (in.PeekU8(0) == 0xFF && in.PeekU8(1) >= 0xD0 && in.PeekU8(1) <= 0xEF) {
    m_nFileKind = kKindJpeg;
    name = "pdftmp.jpg";
    if (in.PeekU8(1) != 0xD8) file = {0xFF, 0xD8};
  } else if (in.PeekU32BE(0) == 0x89504E47) {
    m_nFileKind = kKindPng;
    name = "pdftmp.PNG";
  } else {
    m_nFileKind = kKindBmz;
    name = "pdftmp.TMP";
  }
  const size_t head = file.size();
  file.insert(file.end(), data, data + length);
  if (m_nFileKind == kKindJpeg) {
    // An Adobe marker right after the start: its colour transform chooses the mode.
    const int64_t at = static_cast<int64_t>(head) + (head == 0 ? 2 : 0);
    const ByteCursor mk(file.data() + at, static_cast<int64_t>(file.size()) - at);
    if (mk.Size() > 16 && mk.PeekU16BE(0) == 0xFFEE && mk.PeekU8(11) == 0x80) {
      if (mk.PeekU8(4) == 'A' && mk.PeekU8(5) == 'd' && mk.PeekU8(15) == 0) {
        mode = 2;
      } else if (mk.PeekU8(15) == 2) {
        file[static_cast<size_t>(at + 15)] = 1;
        mode = 0;
      }
    }
  }
  const std::string path = TmpFolder() + "\\" + name;
  if (!plat::WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()))) return kPictureNotWritten;
  return LoadNamedImageFile(path, mode);
}

int CQelDoc::PdfExtractRawImage(uint8_t* palette, int paletteGiven, int count, int width, int height, int bits, int mode) {
  if (width <= 0 || height <= 0 || !(bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32)) return -1;
  if (!paletteGiven) {
    // A grey ramp over the levels the depth has.
    const int levels = bits == 1 ? 2 : bits == 4 ? 16 : 256;
    for (int i = 0; i < 256; ++i) {
      const uint8_t v = static_cast<uint8_t>(std::min(i, levels - 1) * 255 / (levels - 1));
      palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = v;
    }
  }
  const std::string tmp = TmpFolder();
  auto samples = plat::ReadFileHead(tmp + "\\temp.txt", std::max(count, 0));
  if (!samples) return kPictureNotWritten;
  const int outBits = bits == 32 ? 24 : bits;
  const int64_t stride = std::min<int64_t>((int64_t{width} * outBits + 31) / 32 * 4, kMaxRow);
  const int64_t srcRow = std::min<int64_t>(bits >= 24 ? int64_t{width} * (bits / 8) : (int64_t{width} * bits + 7) / 8, kMaxRow);
  const int paletteSize = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
  std::vector<uint8_t> bmp;
  const uint32_t offset = static_cast<uint32_t>(54 + paletteSize * 4);
  const int64_t image = stride * height;
  // The BMP is made in memory: no larger than the picture volume allows.
  if (image > std::max<int64_t>(m_nBmpDataLimit, 1 << 20)) return kPictureTooLarge;
  AppendLE16(bmp, 0x4D42);
  AppendLE32(bmp, static_cast<uint32_t>(std::min<int64_t>(offset + image, UINT32_MAX)));
  AppendLE32(bmp, 0);
  AppendLE32(bmp, offset);
  AppendLE32(bmp, 40);
  AppendLE32(bmp, static_cast<uint32_t>(width));
  AppendLE32(bmp, static_cast<uint32_t>(height));
  AppendLE16(bmp, 1);
  AppendLE16(bmp, static_cast<uint16_t>(outBits));
  AppendLE32(bmp, 0);
  AppendLE32(bmp, static_cast<uint32_t>(std::min<int64_t>(image, UINT32_MAX)));
  AppendLE32(bmp, 3780);
  AppendLE32(bmp, 3780);
  AppendLE32(bmp, 0);
  AppendLE32(bmp, 0);
  for (int i = 0; i < paletteSize; ++i) {
    const uint8_t* rgb = palette + i * 3;
    uint8_t entry[4] = {rgb[2], rgb[1], rgb[0], 0};
    if (bits == 1 && mode == kPdfOneBitWhiteBlack) std::memset(entry, i == 0 ? 255 : 0, 3);
    bmp.insert(bmp.end(), entry, entry + 4);
  }
  if (bits == 1 && mode == kPdfOneBitWhiteBlack) mode = 0;
  const std::string& s = *samples;
  std::vector<uint8_t> row(static_cast<size_t>(stride));
  for (int64_t y = height - 1; y >= 0; --y) {
    std::fill(row.begin(), row.end(), 0);
    const int64_t start = y * srcRow;
    for (int64_t x = 0; x < srcRow; ++x) {
      if (bits == 32) {
        const int64_t px = x / 3, ch = x % 3;
        if (px >= width) break;
        const int64_t at = y * int64_t{width} * 4 + px * 4 + ch;
        if (at < static_cast<int64_t>(s.size()) && px * 3 + (2 - ch) < stride) row[static_cast<size_t>(px * 3 + (2 - ch))] = static_cast<uint8_t>(s[static_cast<size_t>(at)]);
        continue;
      }
      const int64_t at = start + x;
      if (at >= static_cast<int64_t>(s.size()) || x >= stride) break;
      row[static_cast<size_t>(x)] = static_cast<uint8_t>(s[static_cast<size_t>(at)]);
    }
    if (bits == 24) {
      for (int64_t px = 0; px + 2 < stride && px / 3 < width; px += 3) std::swap(row[static_cast<size_t>(px)], row[static_cast<size_t>(px + 2)]);
    }
    bmp.insert(bmp.end(), row.begin(), row.end());
  }
  const std::string path = tmp + "\\pdftmp.bmp";
  if (!plat::WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(bmp.data()), bmp.size()))) return kPictureNotWritten;
  m_nFileKind = kKindBmp;
  return LoadNamedImageFile(path, mode);
}

void PdfReader::ReadImageColours(int64_t from, int64_t to) {
  paletteGiven = false;
  predictor = 0;
  imageComponents = 0;
  ccittK = 0;
  for (int64_t p = from; p < to; ++p) {
    if (raw.PeekU8(p) != '/') continue;
    if (PdfMatch(raw, p, "/DeviceRGB") || PdfMatch(raw, p, "/CalRGB")) imageComponents = std::max(imageComponents, 3);
    else if (PdfMatch(raw, p, "/DeviceCMYK")) imageComponents = 4;
    else if (PdfMatch(raw, p, "/DeviceGray") || PdfMatch(raw, p, "/CalGray")) imageComponents = std::max(imageComponents, 1);
    else if (PdfMatch(raw, p, "/K ") && (raw.PeekU8(p + 3) == '-')) ccittK = -1;
    else if (PdfMatch(raw, p, "/DecodeParms")) ReadPredictor(p, to);
    else if (PdfMatch(raw, p, "/Indexed")) ReadPalette(p + 8, to);
  }
}

// The PNG predictor of the Flate data: rows of /Columns × /Colors × /BitsPerComponent
// bits as the decode parameters give them (1, 1 and 8 when they do not).
void PdfReader::ReadPredictor(int64_t p, int64_t to) {
  predictor = 0;
  predictorColumns = 1;
  predictorBits = 8;
  int colors = 1;
  const int64_t end = std::min(to, p + 300);
  for (int64_t q = p + 12; q < end && raw.PeekU8(q) != '>'; ++q) {
    if (raw.PeekU8(q) != '/') continue;
    const int v = tok.PdfNextToken(q, kPdfKeyValue);
    if (PdfMatch(raw, q, "/Predictor")) predictor = v;
    else if (PdfMatch(raw, q, "/Columns")) predictorColumns = std::clamp(v, 1, 1 << 20);
    else if (PdfMatch(raw, q, "/Colors")) colors = std::clamp(v, 1, 32);
    else if (PdfMatch(raw, q, "/BitsPerComponent")) predictorBits = std::clamp(v, 1, 16);
  }
  predictorBits *= colors;
}

// An /Indexed colour space: its lookup table as a string or as a stream.
void PdfReader::ReadPalette(int64_t p, int64_t to) {
  palette.fill(0);
  // Past the base colour space and the highest index.
  while (p < to && raw.PeekU8(p) != '(' && raw.PeekU8(p) != '<' && !(raw.PeekU8(p) == 'R' && raw.PeekU8(p - 1) == ' ' && PdfIsDigit(raw.PeekU8(p - 2)) &&
                                                        !PdfIsDigit(raw.PeekU8(p + 1)))) {
    if (raw.PeekU8(p) == ']') return;
    ++p;
  }
  size_t n = 0;
  if (raw.PeekU8(p) == '<') {
    int high = -1;
    for (++p; p < to && raw.PeekU8(p) != '>' && n < palette.size(); ++p) {
      const uint8_t c = raw.PeekU8(p);
      const int h = PdfIsDigit(c) ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
      if (h < 0) continue;
      if (high < 0) high = h;
      else {
        palette[n++] = static_cast<uint8_t>(high * 16 + h);
        high = -1;
      }
    }
  } else if (raw.PeekU8(p) == '(') {
    for (++p; p < to && raw.PeekU8(p) != ')' && n < palette.size(); ++p) {
      uint8_t c = raw.PeekU8(p);
      if (c == '\\' && p + 1 < to) {
        c = raw.PeekU8(++p);
        if (c >= '0' && c <= '7') {
          int v = c - '0';
          for (int k = 0; k < 2 && raw.PeekU8(p + 1) >= '0' && raw.PeekU8(p + 1) <= '7'; ++k) v = v * 8 + (raw.PeekU8(++p) - '0');
          c = static_cast<uint8_t>(v);
        } else if (c == 'n') c = '\n';
        else if (c == 'r') c = '\r';
        else if (c == 't') c = '\t';
      }
      palette[n++] = c;
    }
  } else if (raw.PeekU8(p) == 'R') {
    const int object = tok.PdfNextToken(p - 1, kPdfObjectNumber);
    if (object <= 0 || object >= kPdfMaxObjects || objectOffsets[static_cast<size_t>(object)] <= 0) return;
    int64_t q = objectOffsets[static_cast<size_t>(object)];
    const int64_t stop = std::min(q + 1000, raw.Size());
    bool flate = false;
    while (q < stop && !PdfMatch(raw, q, "stream")) flate = flate || PdfMatch(raw, q++, "/Fl");
    if (q >= stop) return;
    q += 6;
    if (raw.PeekU8(q) == '\r') ++q;
    if (raw.PeekU8(q) == '\n') ++q;
    const int64_t len = std::min<int64_t>(raw.Size() - q, 1500);
    if (flate) {
      const bool header = len > 2 && PdfIsZlibHeader(raw.PeekU8(q), raw.PeekU8(q + 1));
      const auto packed = raw.PeekBytes(q + (header ? 2 : 0), len - (header ? 2 : 0));
      const int64_t got = PdfInflate(inflater, packed.data(), static_cast<int64_t>(packed.size()), palette.data(),
                                     static_cast<int64_t>(palette.size()));
      n = static_cast<size_t>(got == -3 ? static_cast<int64_t>(palette.size()) : std::max<int64_t>(got, 0));
    } else {
      ByteCursor table = raw.Window(q, std::min<int64_t>(len, static_cast<int64_t>(palette.size())));
      n = static_cast<size_t>(table.Size());
      table.Read(palette.data(), table.Size());
    }
  }
  paletteGiven = n > 0;
}

// PNG row filters (the /Predictor 10 to 15 of Flate data): undone in place; returns
// the length of the samples without the filter bytes.
int64_t PdfReader::UndoPngPredictor(uint8_t* data, int64_t length, int64_t width, int bitsPerPixel) {
  const int64_t rowBytes = (width * bitsPerPixel + 7) / 8;
  const int64_t step = std::max(bitsPerPixel / 8, 1);
  if (rowBytes <= 0) return 0;
  int64_t out = 0;
  std::vector<uint8_t> previous(static_cast<size_t>(rowBytes), 0);
  for (int64_t in = 0; in + 1 < length; in += 1 + rowBytes) {
    const uint8_t filter = data[in];
    uint8_t* row = data + out;
    const int64_t count = std::min(rowBytes, length - in - 1);  // the last row may stop short
    std::memmove(row, data + in + 1, static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
      const int a = i >= step ? row[i - step] : 0, b = previous[static_cast<size_t>(i)], c = i >= step ? previous[static_cast<size_t>(i - step)] : 0;
      int add = 0;
      switch (filter) {
        case 1: add = a; break;
        case 2: add = b; break;
        case 3: add = (a + b) / 2; break;
        case 4: {
          const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          add = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
          break;
        }
        default: break;
      }
      row[i] = static_cast<uint8_t>(row[i] + add);
    }
    std::memcpy(previous.data(), row, static_cast<size_t>(count));
    out += count;
  }
  return out;
}

void PdfReader::ShowSelectedImage(int64_t at, int64_t length) {
  imageDepth = 0;
  const int64_t dict = objectOffsets[static_cast<size_t>(key)];
  ReadImageColours(dict, at);
  const auto body = raw.PeekBytes(at, length);
  const uint8_t* data = body.data();
  length = static_cast<int64_t>(body.size());
  if (length <= 0) return;
  const int64_t width = imageWidth, height = imageHeight;
  int kind = streamKind;
  if (preFilter != 0) {
    data = PreDecode(data, &length, preFilter == 2);
    if (!data) return;
    if (preFilter == 2 && kind == kNone) kind = kLzw;
  }
  if (width <= 9 || height <= 9 || length <= 0) return;
  const int bits = imageBits;
  if (kind == kFlate || kind == kFlateDct) {
    const int components = std::max(imageComponents, 1);
    const int64_t expected = kind == kFlateDct ? capacity : (width * height * components * std::max(bits, 1) + 7) / 8 + 2000;
    const bool moved = data == collect.data();
    if (expected > capacity || !GrowStreamBuffers(expected)) {
      CanvasNote(" [" + std::to_string((expected >> 20) + 1) + "MB]" + LoadString(IDS_DISPLAY_VOLUME_OVER));
      return;
    }
    if (moved) data = collect.data();
    const ByteCursor packed(data, length);
    const bool header = length > 2 && PdfIsZlibHeader(packed.PeekU8(0), packed.PeekU8(1));
    const int64_t n = PdfInflate(inflater, data + (header ? 2 : 0), length - (header ? 2 : 0), stream.data(), std::min(expected, StreamRoom()));
    if (n <= 0) {
      StreamNote(n, expected);
      return;
    }
    data = stream.data();
    length = n;
    if (kind == kFlate && predictor >= 10) length = UndoPngPredictor(stream.data(), n, predictorColumns, predictorBits);
    kind = kind == kFlateDct ? kDct : kFlate;
  }
  int shown = 0;
  if (kind == kFlate || kind == kLzw || kind == kNone) {
    const int64_t rowBytes = (width * std::max(bits, 1) + 7) / 8;
    int64_t components = imageComponents > 0 ? imageComponents : std::clamp<int64_t>(length / std::max<int64_t>(rowBytes * height, 1), 1, 4);
    if (paletteGiven) components = 1;
    const int depth = bits == 8 && components >= 3 ? static_cast<int>(components) * 8 : bits;
    if (!(depth == 1 || depth == 4 || depth == 8 || depth == 24 || depth == 32) ||
        !plat::WriteWholeFile(doc.TmpFolder() + "\\temp.txt", std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(length)))) {
      CanvasNote(LoadString(IDS_UNSUPPORTED_FORMAT));
      return;
    }
    shown = doc.PdfExtractRawImage(palette.data(), paletteGiven ? 1 : 0, static_cast<int>(length), static_cast<int>(width),
                                   static_cast<int>(height), depth, imageMode);
    doc.m_nSelectedItem += 100000;
  } else if (kind == kDct || kind == kCcitt || kind == kJpx || kind == kJbig2) {
    const int mode = kind == kCcitt ? (imageMode == kPdfOneBitWhiteBlack ? kPdfCcittWhiteIsZero : kPdfCcittBlackIsZero) : imageMode;
    shown = doc.PdfExtractImage(data, static_cast<int>(length), ccittK < 0 ? 4 : 3, mode, static_cast<int>(width), static_cast<int>(height));
    doc.m_nSelectedItem += kind == kCcitt ? 300000 : 200000;
  } else {
    return;
  }
  if (shown == kPictureTooLarge) {
    doc.m_nSelectedItem %= 100000;
    CanvasNote(" [" + std::to_string((width * height * 3 >> 20) + 1) + "MB]" + LoadString(IDS_DISPLAY_VOLUME_OVER));
  } else if (shown == kPictureNotWritten) {
    // The picture could not be written or read: said in the text, not passed over.
    doc.m_nSelectedItem %= 100000;
    CanvasNote(LoadString(IDS_CANNOT_OPEN));
  }
}
