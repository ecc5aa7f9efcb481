#include "codec/deflate/Deflate.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "codec/deflate/BlockSplit.h"
#include "codec/deflate/DeflateTables.h"
#include "codec/deflate/MatchFinder.h"

namespace codec {
namespace {

constexpr int32_t kBufferSize = 32 * kWindow;    // input is slid down by whole windows when full
constexpr int32_t kLookahead = kMaxMatch + kMinMatch + 1;  // bytes kept ahead while input may follow
constexpr int32_t kPadding = kMaxMatch + 16;     // readable bytes past the buffer (word compares)
constexpr int kMaxChain = 64;    // candidates examined per position
constexpr int kGoodLength = 8;   // with a match this long in hand, examine a quarter as many
constexpr int kLazyLength = 16;  // with a match this long in hand, do not look one byte further
constexpr int kNiceLength = 128; // a match this long ends the search
constexpr int kTooFar = 4096;    // a 3-byte match farther than this costs more than literals
constexpr size_t kChunkTokens = 2048;     // tokens weighed at once for a block's end
constexpr size_t kMaxBlockTokens = 32768;
constexpr size_t kTokenSlack = kMaxMatch + 2;  // the tokens one match's lazy steps can add
constexpr size_t kTokenRoom = kMaxBlockTokens + kChunkTokens + kTokenSlack;
static_assert(kChunkTokens + kTokenSlack <= kMaxChunkTokens);

// The bits of the hashes for an input of n bytes: about one slot a byte, so that a
// small input does not fill full tables; from 64 KiB on (and for an input of unknown
// size) the full tables.
int TableBits(size_t n) { return std::max(8, static_cast<int>(std::bit_width(n))); }

CSizedGeometry GeometryFor(size_t expected) {
  const int bits = TableBits(expected);
  if (bits >= kHash4Bits) return {CFullGeometry::shift3, CFullGeometry::shift4, CFullGeometry::mask};
  return {32 - std::min(bits, kHash3Bits), 32 - bits, std::min(int32_t{1} << bits, kWindow) - 1};
}

}  // namespace

CDeflater::CDeflater(std::vector<uint8_t>& out, size_t expected)
    : window_(std::min(expected, size_t{kBufferSize}) + kPadding, 0),
      head3_(size_t{1} << (32 - GeometryFor(expected).shift3), kNoPosition),
      head4_(size_t{1} << (32 - GeometryFor(expected).shift4), kNoPosition),
      prev_(static_cast<size_t>(GeometryFor(expected).mask) + 1, kNoPosition),
      tokens_(std::min(expected, kMaxBlockTokens) + kChunkTokens + kTokenSlack),
      fullTables_(TableBits(expected) >= kHash4Bits),
      geometry_(GeometryFor(expected)),
      bits_(out) {}

// Lazy parsing from pos_ until stop or a full chunk: a match found at a position is
// taken unless the next position offers a longer one; then the position goes out as
// a literal and the next one's match is weighed the same way. Each token is counted
// as it is made. The state is held in locals for the loop and stored at its end.
template <class Geometry>
void CDeflater::Parse(const CMatchTables<Geometry>& m, int32_t stop, int32_t lookStop) {
  const int32_t end = fill_;
  DeflateToken* const first = tokens_.data();
  DeflateToken* tok = first + tokenCount_;
  uint32_t* const lit = chunk_.lit.data();
  uint32_t* const dist = chunk_.dist.data();
  int32_t pos = pos_;
  // A token takes at least one position: the chunk cannot be full before this one.
  const auto room = static_cast<int64_t>(blockTokens_ + kChunkTokens - tokenCount_);
  const int32_t last = static_cast<int32_t>(std::min<int64_t>(stop, pos + room));
  auto literal = [&] {
    const uint8_t byte = m.win[pos++];
    *tok++ = DeflateToken::Literal(byte);
    ++lit[byte];
  };
  while (pos < last) {
    const auto candidates = m.Enter(pos);
    int distance = 0;
    int length = 0;
    if (m.MayMatch(pos, candidates))
      length = m.Search(pos, candidates, kMinMatch - 1, kMaxChain, kNiceLength, &distance);
    if (length < kMinMatch) {
      literal();
      continue;
    }
    // Near the end of the input a match is cut at its end; one cut below three bytes
    // goes out as a literal, as does a three-byte match far back (its codes cost more).
    length = std::min(length, end - pos);
    if (length < kMinMatch || (length == kMinMatch && distance > kTooFar)) {
      literal();
      continue;
    }
    int32_t inserted = pos + 1;  // positions below this are in the tables
    while (length < kLazyLength && pos + 1 < lookStop) {
      int nextDistance = 0;
      const int depth = length >= kGoodLength ? kMaxChain / 4 : kMaxChain;
      const int next = std::min(m.Find(pos + 1, length, depth, kNiceLength, &nextDistance), end - pos - 1);
      inserted = pos + 2;
      if (next <= length) break;
      literal();
      length = next;
      distance = nextDistance;
    }
    *tok++ = DeflateToken::Match(length, distance);
    ++lit[257 + CLengthCodeTable::CodeOf(length)];
    ++dist[CDistanceCodeTable::CodeOf(distance)];
    for (int32_t q = inserted; q < pos + length; ++q) m.Insert(q);
    pos += length;
  }
  pos_ = pos;
  tokenCount_ = static_cast<size_t>(tok - first);
}

// The chunk made so far either starts a block (the pending one is written first) or
// joins the pending block; a block that leaves no room for another chunk (a full
// block's tokens, or as many as the input's expected bytes) is written.
void CDeflater::EndChunk() {
  if (tokenCount_ > blockTokens_) {
    uint64_t chunkBits = 0, joinedBits = 0;
    if (StartsBlock(block_, blockBits_, chunk_, &chunkBits, &joinedBits)) {
      FlushBlock(false);
      block_ = chunk_;
      blockBits_ = chunkBits;
    } else {
      for (size_t s = 0; s < block_.lit.size(); ++s) block_.lit[s] += chunk_.lit[s];
      for (size_t s = 0; s < block_.dist.size(); ++s) block_.dist[s] += chunk_.dist[s];
      blockBits_ = joinedBits;
    }
    blockTokens_ = tokenCount_;
    chunk_ = {};
  }
  chunkStart_ = pos_;
  if (blockTokens_ + kChunkTokens + kTokenSlack >= tokens_.size()) FlushBlock(false);
}

// Writes the pending block; the chunk's tokens move to the front.
void CDeflater::FlushBlock(bool final) {
  WriteDeflateBlock(bits_, tokens_.data(), blockTokens_, block_, &window_[blockStart_],
                    static_cast<size_t>(chunkStart_ - blockStart_), final);
  std::copy(tokens_.begin() + static_cast<std::ptrdiff_t>(blockTokens_),
            tokens_.begin() + static_cast<std::ptrdiff_t>(tokenCount_), tokens_.begin());
  tokenCount_ -= blockTokens_;
  blockTokens_ = 0;
  block_ = {};
  blockBits_ = 0;
  blockStart_ = chunkStart_;
}

void CDeflater::Process(bool finishing) {
  const int32_t stop = finishing ? fill_ : fill_ - kLookahead;
  const int32_t lookStop = finishing ? fill_ : fill_ - kMaxMatch;
  while (pos_ < stop) {
    if (fullTables_) {
      Parse(CMatchTables<CFullGeometry>{{}, window_.data(), head3_.data(), head4_.data(), prev_.data()}, stop,
            lookStop);
    } else {
      Parse(CMatchTables<CSizedGeometry>{geometry_, window_.data(), head3_.data(), head4_.data(), prev_.data()}, stop,
            lookStop);
    }
    if (tokenCount_ - blockTokens_ >= kChunkTokens) EndChunk();
  }
}

// Moves the last whole windows before the current position (and what follows) to
// the start; the pending tokens are written first when their bytes would go.
void CDeflater::Slide() {
  const int32_t base = (pos_ - kWindow) / kWindow * kWindow;  // the buffer is full: far past two windows
  if (blockStart_ < base) {
    EndChunk();
    FlushBlock(false);
  }
  std::memmove(window_.data(), window_.data() + base, static_cast<size_t>(fill_ - base));
  fill_ -= base;
  pos_ -= base;
  blockStart_ -= base;
  chunkStart_ -= base;
  // A position before the new start becomes negative, out of every window.
  auto rebase = [base](int32_t& p) { p = std::max(p - base, kNoPosition); };
  std::for_each(head3_.begin(), head3_.end(), rebase);
  std::for_each(head4_.begin(), head4_.end(), rebase);
  std::for_each(prev_.begin(), prev_.end(), rebase);
}

void CDeflater::Write(const uint8_t* data, size_t n) {
  // More than the expected input: the whole buffer and token room after all.
  if (window_.size() < kBufferSize + kPadding && n > window_.size() - kPadding - static_cast<size_t>(fill_)) {
    window_.resize(kBufferSize + kPadding, 0);
    tokens_.resize(kTokenRoom);
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
  EndChunk();
  FlushBlock(true);
  bits_.Flush();
}

}  // namespace codec
