// Helpers of the JPEG tests: a synthetic picture as PPM/PGM, the peer tools run on
// files in a private folder, their PNM output read back, and the distance of two
// pictures.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "image/codecs/jpeg/JEncoder.h"
#include "support/TestFiles.h"

namespace jpegtest {

struct Pnm {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<uint8_t> px;  // rows top first, channels interleaved
};

// Reads binary P5/P6 with maxval 255; width 0 when it is not one.
inline Pnm ParsePnm(const std::string& bytes) {
  Pnm p;
  size_t at = 0;
  auto token = [&]() {
    while (at < bytes.size()) {
      if (bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      } else if (isspace(static_cast<unsigned char>(bytes[at]))) {
        ++at;
      } else {
        break;
      }
    }
    std::string t;
    while (at < bytes.size() && !isspace(static_cast<unsigned char>(bytes[at]))) t += bytes[at++];
    return t;
  };
  const std::string magic = token();
  if (magic != "P5" && magic != "P6") return p;
  const int w = std::stoi(token());
  const int h = std::stoi(token());
  if (token() != "255") return p;
  ++at;
  const int ch = magic == "P6" ? 3 : 1;
  const size_t n = static_cast<size_t>(w) * h * ch;
  if (bytes.size() < at + n) return p;
  p.width = w;
  p.height = h;
  p.channels = ch;
  p.px.assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + n));
  return p;
}

// A picture with smooth gradients, hard edges and a little noise: what photographs
// and drawings both have, deterministic.
inline std::string MakePnm(int w, int h, bool grey) {
  std::string out = std::string(grey ? "P5" : "P6") + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245 + 12345;
      const int noise = static_cast<int>((seed >> 16) & 15) - 8;
      const bool square = ((x / 11) + (y / 7)) % 3 == 0;
      int r = (x * 255) / (w > 1 ? w - 1 : 1);
      int g = (y * 255) / (h > 1 ? h - 1 : 1);
      int b = square ? 230 : 40 + ((x + y) * 3) % 120;
      r = std::clamp(r + noise, 0, 255);
      g = std::clamp(g - noise, 0, 255);
      if (grey) {
        out += static_cast<char>((r * 3 + g * 5 + b * 2) / 10);
      } else {
        out += static_cast<char>(r);
        out += static_cast<char>(g);
        out += static_cast<char>(b);
      }
    }
  }
  return out;
}

// PSNR of two buffers of equal size, 99 when equal.
inline double Psnr(const uint8_t* a, const uint8_t* b, size_t n) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(n) / sum);
}

inline int MaxDiff(const uint8_t* a, const uint8_t* b, size_t n) {
  int m = 0;
  for (size_t i = 0; i < n; ++i) m = std::max(m, std::abs(static_cast<int>(a[i]) - b[i]));
  return m;
}

// Runs a shell command line; the test fails when it does not exit with 0.
inline std::string RunTool(const std::string& command) {
  int status = 0;
  std::string out = testenv::Shell(command, &status);
  EXPECT_EQ(status, 0) << command;
  return out;
}

inline std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// FNV-1a, for the stored digests of earlier outputs: Add() for several parts, or
// Fnv1a() of one buffer.
struct Fnv {
  uint64_t h = 1469598103934665603ull;
  void Add(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  }
};

inline uint64_t Fnv1a(const uint8_t* p, size_t n) {
  Fnv f;
  f.Add(p, n);
  return f.h;
}

// The encoder's file at a level by the wide or portable kernels; with `dibFields`
// the comment, units and density the picture road writes.
inline std::vector<uint8_t> EncodeAt(JEncoder& e, int w, int h, int level, bool wide, bool dibFields) {
  e.SetWideKernels(wide);
  JEncodeParams params;
  params.width = w;
  params.height = h;
  if (dibFields) {
    params.comment = "JPEG by Pelnor";
    params.units = 1;
    params.xDensity = params.yDensity = 96;
  }
  e.SetParams(params);
  e.SetQuality(level);
  if (e.Encode() != 0) return {};
  const auto out = e.GetOutput();
  return std::vector<uint8_t>(out.begin(), out.end());
}

}  // namespace jpegtest
