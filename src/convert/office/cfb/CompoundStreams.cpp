#include "convert/office/cfb/CompoundStreams.h"

#include <algorithm>
#include <cstring>

#include "app/QelDoc.h"
#include "convert/office/OfficeState.h"

namespace {
constexpr int64_t kSector = 512;
constexpr int64_t kMini = 64;
constexpr uint32_t kEndMarks = 0xFFFFFFFA;
}  // namespace

CompoundStreams::CompoundStreams(const CQelDoc& doc, const ByteCursor& img, int64_t readSize)
    : doc_(doc), img_(img), end_(std::min<int64_t>(readSize, img.Size())) {
  sectors_ = std::max<int64_t>(end_ / kSector - 1, 0);
}

uint32_t CompoundStreams::Next(uint32_t s) const { return s < doc_.Office().m_anCfbChain.size() ? doc_.Office().m_anCfbChain[s] : kEndMarks; }

std::string CompoundStreams::Regular(uint32_t start, int64_t size) const {
  std::string out;
  uint32_t s = start;
  for (int64_t steps = 0; s < kEndMarks && steps <= sectors_ && (size < 0 || static_cast<int64_t>(out.size()) < size); ++steps) {
    const int64_t at = (static_cast<int64_t>(s) + 1) * kSector;
    if (s >= sectors_ || at + kSector > end_) break;
    const std::span<const uint8_t> sector = img_.PeekBytes(at, kSector);
    out.append(reinterpret_cast<const char*>(sector.data()), sector.size());
    s = Next(s);
  }
  if (size >= 0 && static_cast<int64_t>(out.size()) > size) out.resize(static_cast<size_t>(size));
  return out;
}

void CompoundStreams::LoadMini() {
  if (miniLoaded_) return;
  miniLoaded_ = true;
  miniStream_ = Regular(static_cast<uint32_t>(doc_.Office().m_nCfbMiniStart), -1);
  const std::string fat = Regular(img_.PeekU32LE(60), -1);
  for (ByteCursor in(fat); in.Has(4);) miniFat_.push_back(in.U32LE());
}

std::string CompoundStreams::Small(uint32_t start, int64_t size) {
  LoadMini();
  std::string out;
  uint32_t m = start;
  const int64_t miniCount = static_cast<int64_t>(miniStream_.size()) / kMini;
  for (int64_t steps = 0; m < kEndMarks && steps <= miniCount && static_cast<int64_t>(out.size()) < size; ++steps) {
    if (m >= miniCount) break;
    out.append(miniStream_, static_cast<size_t>(m) * kMini, kMini);
    m = m < miniFat_.size() ? miniFat_[m] : kEndMarks;
  }
  if (static_cast<int64_t>(out.size()) > size) out.resize(static_cast<size_t>(size));
  return out;
}

std::string CompoundStreams::Named(const char* name) {
  const std::string directory = Regular(img_.PeekU32LE(48), -1);
  const size_t length = std::strlen(name);
  for (size_t at = 0; at + 128 <= directory.size(); at += 128) {
    const ByteCursor e(std::string_view(directory).substr(at, 128));
    const auto k2 = static_cast<int64_t>(2 * length);
    bool same = e.PeekU8(66) == 2 && e.PeekU16LE(k2) == 0 && 2 * length < 64;
    for (size_t k = 0; same && k < length; ++k) same = e.PeekU16LE(static_cast<int64_t>(2 * k)) == static_cast<uint8_t>(name[k]);
    if (!same) continue;
    return Stream(e.PeekU32LE(116), e.PeekU32LE(120));
  }
  return {};
}
