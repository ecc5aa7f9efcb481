#include "codec/Deflate.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace codec {
namespace {

constexpr int32_t kWindow = 32768;           // the farthest a match reaches back
constexpr int32_t kBufferSize = 2 * kWindow;  // input is slid down by kWindow when full
constexpr int32_t kMinMatch = 3;
constexpr int32_t kMaxMatch = 258;
constexpr int32_t kLookahead = kMaxMatch + kMinMatch + 1;  // bytes kept ahead while input may follow
constexpr int kHashBits = 15;
constexpr int kMaxChain = 128;   // candidates examined per position
constexpr int kGoodLength = 8;   // with a match this long in hand, examine a quarter as many
constexpr int kLazyLength = 16;  // with a match this long in hand, do not look one byte further
constexpr int kNiceLength = 128; // a match this long ends the search
constexpr int kTooFar = 4096;    // a 3-byte match farther than this costs more than literals
constexpr size_t kBlockTokens = 16384;
constexpr size_t kReach = kMaxMatch + 8;  // bytes the compares may read past the input

inline uint32_t Hash3(const uint8_t* p, int shift) {
  uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
  return (v * 0x9E3779B1u) >> shift;
}

// The bits of the hash table and the chain links for an input of n bytes: about one
// slot a byte, so that a small input does not fill a full table; from 16 KiB on
// (and for an input of unknown size) the full one.
int TableBits(size_t n) { return static_cast<int>(std::clamp<size_t>(std::bit_width(n), 8, kHashBits)); }

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

}  // namespace

CDeflater::CDeflater(std::vector<uint8_t>& out, size_t expected)
    : window_(std::min(expected, size_t{kBufferSize}) + kReach, 0),
      head_(size_t{1} << TableBits(expected), -1),
      prev_(std::min<size_t>(head_.size(), kWindow), -1),
      hashShift_(32 - TableBits(expected)),
      prevMask_(static_cast<int32_t>(prev_.size()) - 1),
      bits_(out) {
  tokens_.reserve(kBlockTokens);
}

int32_t CDeflater::HeadOf(int32_t pos) const { return head_[Hash3(&window_[pos], hashShift_)]; }

void CDeflater::Insert(int32_t pos) {
  uint32_t h = Hash3(&window_[pos], hashShift_);
  prev_[pos & prevMask_] = head_[h];
  head_[h] = pos;
}

// The longest match at pos among the chain starting at cand that is longer than
// prevLength; 0 when there is none.
int CDeflater::LongestMatch(int32_t pos, int32_t cand, int prevLength, int* distance) const {
  const int maxLength = std::min(kMaxMatch, fill_ - pos);
  if (maxLength < kMinMatch) return 0;
  const int nice = std::min(kNiceLength, maxLength);
  int chain = prevLength >= kGoodLength ? kMaxChain / 4 : kMaxChain;
  const int32_t limit = pos - kWindow;
  const uint8_t* here = &window_[pos];
  int best = std::max(prevLength, kMinMatch - 1);
  int found = 0;
  while (cand >= 0 && cand >= limit && chain-- > 0) {
    const uint8_t* there = &window_[cand];
    if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
      int len = 0;
      while (len < maxLength) {
        uint64_t diff = Load64(here + len) ^ Load64(there + len);
        if (diff) {
          len += std::countr_zero(diff) >> 3;
          break;
        }
        len += 8;
      }
      len = std::min(len, maxLength);
      if (len > best) {
        best = len;
        found = len;
        *distance = pos - cand;
        if (len >= nice) break;
      }
    }
    int32_t next = prev_[cand & prevMask_];
    if (next >= cand) break;  // a slot reused by a newer position ends the chain
    cand = next;
  }
  return found;
}

void CDeflater::Literal(int32_t pos) {
  tokens_.push_back({window_[pos], 0});
  covered_ = pos + 1;
  if (tokens_.size() >= kBlockTokens) FlushBlock(false);
}

void CDeflater::Match(int length, int distance) {
  tokens_.push_back({static_cast<uint16_t>(length), static_cast<uint16_t>(distance)});
  covered_ += length;
  if (tokens_.size() >= kBlockTokens) FlushBlock(false);
}

void CDeflater::FlushBlock(bool final) {
  WriteDeflateBlock(bits_, tokens_.data(), tokens_.size(), &window_[blockStart_],
                    static_cast<size_t>(covered_ - blockStart_), final);
  tokens_.clear();
  blockStart_ = covered_;
}

// Lazy matching: the match found at a position is held back one byte; when the next
// position offers a longer one, the held position goes out as a literal instead.
void CDeflater::Process(bool finishing) {
  const int32_t stop = finishing ? fill_ : fill_ - kLookahead;
  while (pos_ < stop) {
    int length = 0;
    int distance = 0;
    if (fill_ - pos_ >= kMinMatch) {
      int32_t cand = HeadOf(pos_);
      if (prevLength_ < kLazyLength) length = LongestMatch(pos_, cand, prevLength_, &distance);
      Insert(pos_);
      if (length == kMinMatch && distance > kTooFar) length = 0;
    }
    if (matchPending_ && prevLength_ >= kMinMatch && length <= prevLength_) {
      int32_t end = pos_ - 1 + prevLength_;
      Match(prevLength_, prevDistance_);
      for (int32_t q = pos_ + 1; q < end; ++q)
        if (fill_ - q >= kMinMatch) Insert(q);
      pos_ = end;
      matchPending_ = false;
      prevLength_ = 0;
      continue;
    }
    if (matchPending_) Literal(pos_ - 1);
    matchPending_ = true;
    prevLength_ = length;
    prevDistance_ = distance;
    ++pos_;
  }
}

void CDeflater::Slide() {
  FlushBlock(false);
  std::memmove(window_.data(), window_.data() + kWindow, static_cast<size_t>(kWindow));
  fill_ -= kWindow;
  pos_ -= kWindow;
  blockStart_ -= kWindow;
  covered_ -= kWindow;
  for (int32_t& h : head_) h = h >= kWindow ? h - kWindow : -1;
  for (int32_t& p : prev_) p = p >= kWindow ? p - kWindow : -1;
}

void CDeflater::Write(const uint8_t* data, size_t n) {
  // More than the expected input: the whole buffer after all.
  if (window_.size() < kBufferSize + kReach && n > window_.size() - kReach - static_cast<size_t>(fill_)) {
    window_.resize(kBufferSize + kReach, 0);
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
  if (matchPending_) Literal(pos_ - 1);
  matchPending_ = false;
  FlushBlock(true);
  bits_.Flush();
}

}  // namespace codec
