// A small compound-file writer for the tests and fuzz targets: 512-byte sectors, one
// FAT sector, one directory sector (the root and up to three streams), each stream
// in consecutive sectors after them. Streams of 4,096 bytes or more are regular;
// shorter ones are padded to 4,096 so that no mini-stream is needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cfbimage {

struct Stream {
  std::string name;  // ASCII
  std::string data;
};

inline void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
inline void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v);
  s[at + 1] = static_cast<char>(v >> 8);
}

// File offset of sector s.
inline size_t SectorAt(uint32_t s) { return (static_cast<size_t>(s) + 1) * 512; }

inline std::string Build(std::vector<Stream> streams) {
  if (streams.size() > 3) streams.resize(3);
  std::string out(512 * 3, '\0');
  const char magic[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  out.replace(0, 8, magic, 8);
  Put16(out, 24, 0x3E);
  Put16(out, 26, 3);
  Put16(out, 28, 0xFFFE);
  Put16(out, 30, 9);
  Put16(out, 32, 6);
  Put32(out, 44, 1);           // FAT sectors
  Put32(out, 48, 1);           // first directory sector
  Put32(out, 56, 4096);        // mini-stream cutoff
  Put32(out, 60, 0xFFFFFFFE);  // no mini FAT
  Put32(out, 68, 0xFFFFFFFE);  // no DIFAT sector
  for (int i = 0; i < 109; ++i) Put32(out, 76 + i * 4, i == 0 ? 0 : 0xFFFFFFFF);
  // FAT (sector 0): itself, the directory, then each stream's chain.
  const size_t fat = SectorAt(0);
  for (int i = 0; i < 128; ++i) Put32(out, fat + i * 4, 0xFFFFFFFF);
  Put32(out, fat + 0, 0xFFFFFFFD);
  Put32(out, fat + 4, 0xFFFFFFFE);
  const size_t dir = SectorAt(1);
  auto entry = [&](int index, const std::string& name, uint8_t type, uint32_t start, uint32_t size) {
    const size_t e = dir + index * 128;
    for (size_t i = 0; i < name.size() && i < 31; ++i) out[e + i * 2] = name[i];
    Put16(out, e + 64, static_cast<uint16_t>((name.size() + 1) * 2));
    out[e + 66] = static_cast<char>(type);
    Put32(out, e + 68, 0xFFFFFFFF);
    const bool sibling = index > 0 && index < static_cast<int>(streams.size());
    Put32(out, e + 72, sibling ? index + 1 : 0xFFFFFFFF);                            // right sibling
    Put32(out, e + 76, index == 0 && !streams.empty() ? 1 : 0xFFFFFFFF);            // child
    Put32(out, e + 116, start);
    Put32(out, e + 120, size);
  };
  entry(0, "Root Entry", 5, 0xFFFFFFFE, 0);
  uint32_t next = 2;
  for (size_t k = 0; k < streams.size(); ++k) {
    std::string data = streams[k].data;
    if (data.size() < 4096) data.resize(4096, '\0');
    const uint32_t count = static_cast<uint32_t>((data.size() + 511) / 512);
    if (next + count > 128) break;
    entry(static_cast<int>(k) + 1, streams[k].name, 2, next, static_cast<uint32_t>(data.size()));
    for (uint32_t i = 0; i < count; ++i) Put32(out, fat + (next + i) * 4, i + 1 < count ? next + i + 1 : 0xFFFFFFFE);
    data.resize(count * 512, '\0');
    out += data;
    next += count;
  }
  return out;
}

}  // namespace cfbimage
