#include "ImageTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "image/codecs/DibConvert.h"
#include "support/TestEnv.h"

namespace imagetest {

Rgb FromDib(const uint8_t* bits, const BITMAPINFO& info) {
  Rgb out;
  BITMAPINFO work = info;
  const BITMAPINFOHEADER& h = info.bmiHeader;
  if (!bits || h.biWidth <= 0 || h.biHeight <= 0) return out;
  const int64_t stride24 = DibStride(h.biWidth, 24);
  std::vector<uint8_t> wide(static_cast<size_t>(stride24 * h.biHeight));
  if (h.biBitCount == 24) {
    std::copy(bits, bits + wide.size(), wide.begin());
  } else {
    ConvertDibTo24(bits, wide.data(), &work, static_cast<int>(DibStride(h.biWidth, h.biBitCount) * h.biHeight),
                   static_cast<int>(wide.size()));
  }
  out.width = h.biWidth;
  out.height = h.biHeight;
  out.pixels.resize(static_cast<size_t>(3 * out.width * out.height));
  for (int y = 0; y < out.height; ++y) {
    const uint8_t* row = wide.data() + (out.height - 1 - y) * stride24;
    for (int x = 0; x < out.width; ++x) {
      uint8_t* p = &out.pixels[static_cast<size_t>(3 * (y * out.width + x))];
      p[0] = row[3 * x + 2];
      p[1] = row[3 * x + 1];
      p[2] = row[3 * x];
    }
  }
  return out;
}

Rgb PeerRgb(const std::string& hostPath) {
  Rgb out;
  const std::string first = testenv::Quote(hostPath + "[0]");
  std::istringstream size(testenv::Shell("identify -format '%w %h' " + first + " 2>/dev/null"));
  size >> out.width >> out.height;
  const std::string bytes = testenv::Shell("convert " + first + " -alpha off -depth 8 rgb:- 2>/dev/null");
  out.pixels.assign(bytes.begin(), bytes.end());
  return out;
}

Rgb PeerPnm(const std::string& command) {
  Rgb out;
  const std::string pnm = testenv::Shell(command + " 2>/dev/null");
  std::istringstream in(pnm);
  std::string magic;
  int maxval = 1;
  in >> magic >> out.width >> out.height;
  if (magic != "P4") in >> maxval;
  in.get();
  const size_t at = static_cast<size_t>(in.tellg());
  if (!in || at > pnm.size() || out.width <= 0 || out.height <= 0) return Rgb{};
  const uint8_t* p = reinterpret_cast<const uint8_t*>(pnm.data()) + at;
  const size_t have = pnm.size() - at;
  const int wide = maxval > 255 ? 2 : 1;
  const size_t count = static_cast<size_t>(out.width) * out.height;
  out.pixels.resize(3 * count);
  for (size_t i = 0; i < count; ++i) {
    int r = 0, g = 0, b = 0;
    if (magic == "P4") {
      const size_t rowBytes = (static_cast<size_t>(out.width) + 7) / 8;
      const size_t x = i % out.width, y = i / out.width;
      const size_t byte = y * rowBytes + x / 8;
      if (byte >= have) return Rgb{};
      r = g = b = (p[byte] >> (7 - x % 8) & 1) ? 0 : 255;
    } else {
      const int channels = magic == "P6" ? 3 : 1;
      int v[3];
      for (int c = 0; c < channels; ++c) {
        const size_t k = (i * channels + c) * wide;
        if (k + wide > have) return Rgb{};
        v[c] = p[k];  // the high byte of a 16-bit sample
        if (wide == 1 && maxval != 255) v[c] = v[c] * 255 / maxval;
      }
      r = v[0];
      g = channels == 3 ? v[1] : v[0];
      b = channels == 3 ? v[2] : v[0];
    }
    out.pixels[3 * i] = static_cast<uint8_t>(r);
    out.pixels[3 * i + 1] = static_cast<uint8_t>(g);
    out.pixels[3 * i + 2] = static_cast<uint8_t>(b);
  }
  return out;
}

int MaxDiff(const Rgb& a, const Rgb& b) {
  if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) worst = std::max(worst, std::abs(a.pixels[i] - b.pixels[i]));
  return worst;
}

double Psnr(const Rgb& a, const Rgb& b) {
  if (MaxDiff(a, b) == 256) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    const double d = a.pixels[i] - b.pixels[i];
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.pixels.size()) / sum);
}

}  // namespace imagetest
