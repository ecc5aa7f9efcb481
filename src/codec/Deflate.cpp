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

inline uint32_t Hash3(const uint8_t* p) {
  uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
  return (v * 0x9E3779B1u) >> (32 - kHashBits);
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

}  // namespace

CDeflater::CDeflater(std::vector<uint8_t>& out)
    : window_(kBufferSize + kMaxMatch + 8, 0), head_(size_t{1} << kHashBits, -1), prev_(kWindow, -1), bits_(out) {
  tokens_.reserve(kBlockTokens);
}

int32_t CDeflater::HeadOf(int32_t pos) const { return head_[Hash3(&window_[pos])]; }

void CDeflater::Insert(int32_t pos) {
  uint32_t h = Hash3(&window_[pos]);
  prev_[pos & (kWindow - 1)] = head_[h];
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
    int32_t next = prev_[cand & (kWindow - 1)];
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
