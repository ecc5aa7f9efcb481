// A compound-file writer for the mail tests: a header, one FAT sector, the
// directory (entries in the order given, after the root), the mini FAT and the
// mini-stream for streams under 4,096 bytes, then the large streams. A stream can
// ask for its chain to run backwards (last sector first), so a reader that assumes
// consecutive sectors or mini sectors reads the wrong bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace msgimage {

struct Entry {
  std::string name;      // ASCII
  std::string data;
  uint8_t type = 2;      // 2 stream, 1 storage
  bool backwards = false;
};

inline void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;

// fat: the FAT entries to fill; returns the first sector of `count` sectors taken
// from *next, chained forwards or backwards.
inline uint32_t Chain(std::vector<uint32_t>& fat, uint32_t& next, uint32_t count, bool backwards) {
  if (count == 0) return kEnd;
  const uint32_t first = next;
  std::vector<uint32_t> order;
  for (uint32_t i = 0; i < count; ++i) order.push_back(first + i);
  if (backwards) std::reverse(order.begin(), order.end());
  for (uint32_t i = 0; i < count; ++i) fat[order[i]] = i + 1 < count ? order[i + 1] : kEnd;
  next += count;
  return order[0];
}

inline std::string Build(const std::vector<Entry>& entries) {
  std::vector<uint32_t> fat(128, kFree), miniFat(128, kFree);
  std::string mini;
  uint32_t miniNext = 0;
  std::vector<uint32_t> starts(entries.size(), kEnd);
  // Small streams into the mini-stream.
  for (size_t k = 0; k < entries.size(); ++k) {
    const Entry& e = entries[k];
    if (e.type != 2 || e.data.empty() || e.data.size() >= 4096) continue;
    const uint32_t count = static_cast<uint32_t>((e.data.size() + 63) / 64);
    const uint32_t first = miniNext;
    starts[k] = Chain(miniFat, miniNext, count, e.backwards);
    mini.resize(static_cast<size_t>(miniNext) * 64, '\0');
    std::vector<uint32_t> order;
    for (uint32_t m = starts[k]; m != kEnd; m = miniFat[m]) order.push_back(m);
    for (uint32_t i = 0; i < order.size(); ++i) mini.replace(order[i] * 64, 64, e.data.substr(i * 64, 64) + std::string(64 - e.data.substr(i * 64, 64).size(), '\0'));
    (void)first;
  }
  // Sectors: 0 FAT, then directory, mini FAT, mini-stream, large streams.
  uint32_t next = 1;
  fat[0] = 0xFFFFFFFD;
  const uint32_t dirCount = static_cast<uint32_t>((entries.size() + 1 + 3) / 4);
  const uint32_t dirStart = Chain(fat, next, dirCount, false);
  const uint32_t miniFatStart = mini.empty() ? kEnd : Chain(fat, next, 1, false);
  const uint32_t miniCount = static_cast<uint32_t>((mini.size() + 511) / 512);
  const uint32_t miniStart = Chain(fat, next, miniCount, false);
  std::vector<std::string> sectors(1 + dirCount + (mini.empty() ? 0 : 1) + miniCount);
  for (size_t k = 0; k < entries.size(); ++k) {
    const Entry& e = entries[k];
    if (e.type != 2 || e.data.size() < 4096) continue;
    const uint32_t count = static_cast<uint32_t>((e.data.size() + 511) / 512);
    starts[k] = Chain(fat, next, count, e.backwards);
    sectors.resize(next);
    uint32_t i = 0;
    for (uint32_t s = starts[k]; s != kEnd; s = fat[s], ++i) {
      std::string part = e.data.substr(i * 512, 512);
      part.resize(512, '\0');
      sectors[s] = part;
    }
  }
  sectors.resize(next);
  // Directory.
  std::string dir(static_cast<size_t>(dirCount) * 512, '\0');
  auto entry = [&](size_t index, const std::string& name, uint8_t type, uint32_t start, uint32_t size) {
    const size_t at = index * 128;
    for (size_t i = 0; i < name.size() && i < 31; ++i) dir[at + i * 2] = name[i];
    dir[at + 64] = static_cast<char>((name.size() + 1) * 2);
    dir[at + 66] = static_cast<char>(type);
    Put32(dir, at + 68, kFree);
    Put32(dir, at + 72, kFree);
    Put32(dir, at + 76, index == 0 ? 1 : kFree);
    Put32(dir, at + 116, start);
    Put32(dir, at + 120, size);
  };
  entry(0, "Root Entry", 5, miniStart, static_cast<uint32_t>(mini.size()));
  for (size_t k = 0; k < entries.size(); ++k) {
    entry(k + 1, entries[k].name, entries[k].type, entries[k].type == 2 ? starts[k] : 0,
          static_cast<uint32_t>(entries[k].data.size()));
  }
  for (uint32_t i = 0; i < dirCount; ++i) sectors[dirStart + i] = dir.substr(i * 512, 512);
  if (!mini.empty()) {
    std::string mf(512, '\0');
    for (int i = 0; i < 128; ++i) Put32(mf, static_cast<size_t>(i) * 4, miniFat[static_cast<size_t>(i)]);
    sectors[miniFatStart] = mf;
    mini.resize(static_cast<size_t>(miniCount) * 512, '\0');
    for (uint32_t i = 0; i < miniCount; ++i) sectors[miniStart + i] = mini.substr(i * 512, 512);
  }
  std::string fatSector(512, '\0');
  for (int i = 0; i < 128; ++i) Put32(fatSector, static_cast<size_t>(i) * 4, fat[static_cast<size_t>(i)]);
  sectors[0] = fatSector;

  std::string out(512, '\0');
  out.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  out[24] = 0x3E;
  out[26] = 3;
  out[28] = '\xFE';
  out[29] = '\xFF';
  out[30] = 9;
  out[32] = 6;
  Put32(out, 44, 1);
  Put32(out, 48, dirStart);
  Put32(out, 56, 4096);
  Put32(out, 60, miniFatStart);
  Put32(out, 64, mini.empty() ? 0 : 1);
  Put32(out, 68, kEnd);
  for (int i = 0; i < 109; ++i) Put32(out, 76 + static_cast<size_t>(i) * 4, i == 0 ? 0 : kFree);
  for (std::string& s : sectors) {
    s.resize(512, '\0');
    out += s;
  }
  return out;
}

}  // namespace msgimage
