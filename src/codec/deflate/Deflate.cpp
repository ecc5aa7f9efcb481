#include "codec/deflate/Deflate.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace codec {
namespace {

constexpr int32_t kWindow = 32768;               // the farthest a match reaches back
constexpr int32_t kBufferSize = 8 * kWindow;     // input is slid down by whole windows when full
constexpr int32_t kMinMatch = 3;
constexpr int32_t kMaxMatch = 258;
constexpr int32_t kLookahead = kMaxMatch + kMinMatch + 1;  // bytes kept ahead while input may follow
constexpr int32_t kPadding = kMaxMatch + 16;     // readable bytes past the buffer (word compares)
constexpr int kHash3Bits = 15;
constexpr int kHash4Bits = 16;
constexpr int kMaxChain = 64;    // candidates examined per position
constexpr int kGoodLength = 8;   // with a match this long in hand, examine a quarter as many
constexpr int kLazyLength = 16;  // with a match this long in hand, do not look one byte further
constexpr int kNiceLength = 128; // a match this long ends the search
constexpr int kTooFar = 4096;    // a 3-byte match farther than this costs more than literals
constexpr size_t kBlockTokens = 16384;

// Little-endian loads, so that the hashes and the stream are the same on every host.
inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

inline uint32_t Hash3(uint32_t seq, int shift) { return ((seq << 8) * 0x1E35A7BDu) >> shift; }
inline uint32_t Hash4(uint32_t seq, int shift) { return (seq * 0x1E35A7BDu) >> shift; }

// The bits of the four-byte hash and the chain links for an input of n bytes: about
// one slot a byte, so that a small input does not fill a full table; from 32 KiB on
// (and for an input of unknown size) the full one.
int TableBits(size_t n) { return static_cast<int>(std::clamp<size_t>(std::bit_width(n), 8, kHash4Bits)); }

// The count of equal bytes of a and b from offset `from`, at most max.
inline int Extend(const uint8_t* a, const uint8_t* b, int from, int max) {
  int len = from;
  while (len < max) {
    const uint64_t diff = Load64(a + len) ^ Load64(b + len);
    if (diff) return std::min(len + (std::countr_zero(diff) >> 3), max);
    len += 8;
  }
  return max;
}

}  // namespace

CDeflater::CDeflater(std::vector<uint8_t>& out, size_t expected)
    : window_(std::min(expected, size_t{kBufferSize}) + kPadding, 0),
      head3_(size_t{1} << std::min(TableBits(expected), kHash3Bits), -1),
      head4_(size_t{1} << TableBits(expected), -1),
      prev_(std::min<size_t>(head4_.size(), kWindow), -1),
      hash3Shift_(32 - std::min(TableBits(expected), kHash3Bits)),
      hash4Shift_(32 - TableBits(expected)),
      prevMask_(static_cast<int32_t>(prev_.size()) - 1),
      bits_(out) {
  tokens_.resize(kBlockTokens);
}

void CDeflater::Insert(int32_t pos) {
  const uint32_t seq = Load32(&window_[pos]);
  head3_[Hash3(seq, hash3Shift_)] = pos;
  int32_t& head = head4_[Hash4(seq, hash4Shift_)];
  prev_[pos & prevMask_] = head;
  head = pos;
}

// The longest match at pos longer than best among at most depth candidates, or 0;
// pos enters the tables either way.
int CDeflater::FindMatch(int32_t pos, int best, int depth, int* distance) {
  const uint8_t* here = &window_[pos];
  const uint32_t seq = Load32(here);
  int32_t& head3 = head3_[Hash3(seq, hash3Shift_)];
  int32_t& head4 = head4_[Hash4(seq, hash4Shift_)];
  const int32_t cand3 = head3;
  int32_t cand = head4;
  head3 = pos;
  prev_[pos & prevMask_] = cand;
  head4 = pos;

  const int maxLength = std::min(kMaxMatch, fill_ - pos);
  if (best >= maxLength) return 0;
  const int nice = std::min(kNiceLength, maxLength);
  const int32_t limit = std::max(pos - kWindow, 0);
  int found = 0;
  if (best < kMinMatch && cand3 >= limit && ((Load32(&window_[cand3]) ^ seq) & 0xFFFFFF) == 0) {
    best = found = kMinMatch;
    *distance = pos - cand3;
    if (maxLength == kMinMatch) return found;
  }
  // Until a match of four bytes is in hand, a candidate needs its first four bytes equal.
  if (best < 4) {
    for (;; --depth) {
      if (cand < limit || depth <= 0) return found;
      if (Load32(&window_[cand]) == seq) break;
      const int32_t next = prev_[cand & prevMask_];
      if (next >= cand) return found;  // a slot reused by a newer position ends the chain
      cand = next;
    }
    const int len = Extend(here, &window_[cand], 4, maxLength);
    if (len > best) {
      best = found = len;
      *distance = pos - cand;
      if (len >= nice) return found;
    }
    --depth;
    const int32_t next = prev_[cand & prevMask_];
    if (next >= cand) return found;
    cand = next;
  }
  // Then the four bytes ending one past the best length must be equal too.
  for (; cand >= limit && depth > 0; --depth) {
    const uint8_t* there = &window_[cand];
    if (Load32(there + best - 3) == Load32(here + best - 3) && Load32(there) == seq) {
      const int len = Extend(here, there, 4, maxLength);
      if (len > best) {
        best = found = len;
        *distance = pos - cand;
        if (len >= nice) break;
      }
    }
    const int32_t next = prev_[cand & prevMask_];
    if (next >= cand) break;
    cand = next;
  }
  return found;
}

inline void CDeflater::Literal(int32_t pos) {
  tokens_[tokenCount_++] = {window_[pos], 0};
  covered_ = pos + 1;
  if (tokenCount_ >= kBlockTokens) FlushBlock(false);
}

inline void CDeflater::Match(int length, int distance) {
  tokens_[tokenCount_++] = {static_cast<uint16_t>(length), static_cast<uint16_t>(distance)};
  covered_ += length;
  if (tokenCount_ >= kBlockTokens) FlushBlock(false);
}

void CDeflater::FlushBlock(bool final) {
  WriteDeflateBlock(bits_, tokens_.data(), tokenCount_, &window_[blockStart_],
                    static_cast<size_t>(covered_ - blockStart_), final);
  tokenCount_ = 0;
  blockStart_ = covered_;
}

// Lazy matching: a match found at a position is taken unless the next position
// offers a longer one; then the position goes out as a literal and the next one's
// match is weighed the same way.
void CDeflater::Process(bool finishing) {
  const int32_t stop = finishing ? fill_ : fill_ - kLookahead;
  const int32_t lookStop = finishing ? fill_ : fill_ - kMaxMatch;
  while (pos_ < stop) {
    int distance = 0;
    int length = fill_ - pos_ >= kMinMatch ? FindMatch(pos_, kMinMatch - 1, kMaxChain, &distance) : 0;
    if (length == kMinMatch && distance > kTooFar) length = 0;
    if (length < kMinMatch) {
      Literal(pos_);
      ++pos_;
      continue;
    }
    int32_t inserted = pos_ + 1;  // positions below this are in the tables
    while (length < kLazyLength && pos_ + 1 < lookStop) {
      int nextDistance = 0;
      const int next = FindMatch(pos_ + 1, length, length >= kGoodLength ? kMaxChain / 4 : kMaxChain, &nextDistance);
      inserted = pos_ + 2;
      if (next <= length) break;
      Literal(pos_);
      ++pos_;
      length = next;
      distance = nextDistance;
    }
    Match(length, distance);
    const int32_t end = pos_ + length;
    for (int32_t q = inserted; q < end; ++q) Insert(q);
    pos_ = end;
  }
}

// Moves the last whole windows before the current position (and what follows) to
// the start; the pending block is written first when its bytes would go.
void CDeflater::Slide() {
  const int32_t base = (pos_ - kWindow) / kWindow * kWindow;  // the buffer is full: far past two windows
  if (blockStart_ < base) FlushBlock(false);
  std::memmove(window_.data(), window_.data() + base, static_cast<size_t>(fill_ - base));
  fill_ -= base;
  pos_ -= base;
  blockStart_ -= base;
  covered_ -= base;
  auto rebase = [base](int32_t& p) { p = p >= base ? p - base : -1; };
  std::for_each(head3_.begin(), head3_.end(), rebase);
  std::for_each(head4_.begin(), head4_.end(), rebase);
  std::for_each(prev_.begin(), prev_.end(), rebase);
}

void CDeflater::Write(const uint8_t* data, size_t n) {
  // More than the expected input: the whole buffer after all.
  if (window_.size() < kBufferSize + kPadding && n > window_.size() - kPadding - static_cast<size_t>(fill_)) {
    window_.resize(kBufferSize + kPadding, 0);
  }
  while (n > 0) {
    if (fill_ == kBufferSize) Slide();
    size_t take = std::min(n, static_cast<size_t>(kBufferSize - fill_));
    std::memcpy(&window_[fill_], data, take);
    fill_ += static_cast<int32_t>(take);
    data += take;
    n -= take;
    Process(false);
  }
}

void CDeflater::Finish() {
  Process(true);
  FlushBlock(true);
  bits_.Flush();
}

}  // namespace codec
