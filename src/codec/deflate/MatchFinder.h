// The match search of Deflate: hash chains over the window on four bytes, with a
// table of one candidate per three-byte hash for the shortest matches. A candidate
// is compared four bytes at a time at its start and at the length to beat, so most
// are passed over with two loads. The tables are reached through plain pointers
// that the parsing loop copies into its locals: its stores into the tables then do
// not make the compiler reload the owner's fields after each one.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace codec {

inline constexpr int32_t kWindow = 32768;  // the farthest a match reaches back
inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 258;
// The position of an empty slot: below every window limit, so that one comparison
// with the limit passes over it; far enough above INT32_MIN not to wrap when rebased.
inline constexpr int32_t kNoPosition = INT32_MIN / 2;

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

inline constexpr int kHash3Bits = 12;  // the full tables: the slots of the three-byte hash
inline constexpr int kHash4Bits = 17;  // and of the four-byte hash

// The shifts that make the hashes and the mask of the chain links. The full
// tables' are constants, so that the hot loop spends no register on them.
struct CFullGeometry {
  static constexpr int shift3 = 32 - kHash3Bits;
  static constexpr int shift4 = 32 - kHash4Bits;
  static constexpr int32_t mask = kWindow - 1;
};
// Tables to a small input's size.
struct CSizedGeometry {
  int shift3;
  int shift4;
  int32_t mask;
};

template <class Geometry>
struct CMatchTables : Geometry {
  const uint8_t* win;  // the window; readable for kMaxMatch + 8 bytes past its valid ones
  int32_t* head3;      // the newest position of each three-byte hash
  int32_t* head4;      // the newest position of each four-byte hash
  int32_t* prev;       // the previous position of the same four-byte hash, by pos & mask

  // One multiplication makes both hashes: the four-byte one from the top bits of the
  // product, the three-byte one from the top of its low 24 bits, which the fourth
  // byte does not reach.
  static uint32_t Product(uint32_t seq) { return seq * 0x1E35A7BDu; }
  int32_t& Head3(uint32_t product) const { return head3[(product << 8) >> this->shift3]; }
  int32_t& Head4(uint32_t product) const { return head4[product >> this->shift4]; }

  // Puts pos into the tables without a search (the positions inside a match taken).
  [[gnu::always_inline]] void Insert(int32_t pos) const {
    const uint32_t product = Product(Load32(win + pos));
    Head3(product) = pos;
    int32_t& head = Head4(product);
    prev[pos & this->mask] = head;
    head = pos;
  }

  // A position's candidates: the newest earlier position of its three-byte hash,
  // and the head of its four-byte chain.
  struct Candidates {
    uint32_t seq;  // the position's first four bytes
    int32_t cand3;
    int32_t cand4;
  };

  // Puts pos into the tables and returns its candidates.
  [[gnu::always_inline]] Candidates Enter(int32_t pos) const {
    const uint32_t seq = Load32(win + pos);
    const uint32_t product = Product(seq);
    int32_t& head3Slot = Head3(product);
    int32_t& head4Slot = Head4(product);
    const Candidates c{seq, head3Slot, head4Slot};
    head3Slot = pos;
    head4Slot = pos;
    prev[pos & this->mask] = c.cand4;
    return c;
  }

  // Whether a search can find a match: the chain has a candidate in the window, or
  // the three-byte candidate is in it with its three bytes equal. Most positions of
  // data that does not repeat end here, as literals.
  [[gnu::always_inline]] bool MayMatch(int32_t pos, const Candidates& c) const {
    const int32_t limit = pos - kWindow;
    return c.cand4 >= limit || (c.cand3 >= limit && ((Load32(win + c.cand3) ^ c.seq) << 8) == 0);
  }

  // Enter and Search at once.
  [[gnu::always_inline]] int Find(int32_t pos, int best, int depth, int nice, int* distance) const {
    return Search(pos, Enter(pos), best, depth, nice, distance);
  }

  // The longest match at pos (entered with the candidates c) longer than best among
  // the three-byte candidate and at most depth chained ones, the search ending at a
  // match of nice; 0 when there is none. The match may run past the input's valid
  // bytes (into the padding), up to kMaxMatch: the caller cuts it.
  [[gnu::always_inline]] int Search(int32_t pos, const Candidates& c, int best, int depth, int nice,
                                    int* distance) const {
    const uint8_t* const here = win + pos;
    const uint32_t seq = c.seq;
    const int32_t limit = pos - kWindow;
    int found = 0;
    if (best < kMinMatch && c.cand3 >= limit && ((Load32(win + c.cand3) ^ seq) << 8) == 0) {
      best = found = kMinMatch;
      *distance = pos - c.cand3;
    }
    int32_t cand = c.cand4;
    if (cand < limit) return found;
    // The next link is followed while it stays in the window and leads back: one
    // that does not is a slot reused by a newer position, and ends the chain.
    auto follow = [&](int32_t from) {
      const int32_t next = prev[from & this->mask];
      const bool on = --depth > 0 && static_cast<uint32_t>(next - limit) < static_cast<uint32_t>(from - limit);
      cand = next;
      return on;
    };
    // Until a match of four bytes is in hand, a candidate needs its first four bytes equal.
    if (best < 4) {
      while (Load32(win + cand) != seq)
        if (!follow(cand)) return found;
      const int len = Extend(here, win + cand, 4, kMaxMatch);
      if (len > best) {
        best = found = len;
        *distance = pos - cand;
        if (len >= nice) return found;
      }
      if (!follow(cand)) return found;
    }
    // Then the four bytes ending one past the best length must be equal too.
    do {
      const uint8_t* there = win + cand;
      if (Load32(there + best - 3) == Load32(here + best - 3) && Load32(there) == seq) {
        const int len = Extend(here, there, 4, kMaxMatch);
        if (len > best) {
          best = found = len;
          *distance = pos - cand;
          if (len >= nice) break;
        }
      }
    } while (follow(cand));
    return found;
  }
};

}  // namespace codec
