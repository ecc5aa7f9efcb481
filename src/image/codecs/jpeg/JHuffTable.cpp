#include "image/codecs/jpeg/JHuffTable.h"

void JHuffTable::Build(const uint8_t counts[16], const uint8_t* values, int64_t position, bool ac) {
  int total = 0;
  for (int i = 0; i < 16; ++i) total += counts[i];
  if (total > 256) throw JIndexError(256, total, "AnalyzeDHT:Size Table Index over");
  look_.fill(0);
  fast_.fill(0);
  for (int i = 0; i < total; ++i) values_[i] = values[i];

  // Canonical codes: consecutive within a length, doubled when the length grows.
  int code = 0;
  int k = 0;
  for (int len = 1; len <= 16; ++len) {
    const int n = counts[len - 1];
    if (code + n > (1 << len)) throw JDataFormatError(position, "AnalyzeDHT:Huffman Code-T");
    valOffset_[len] = k - code;
    maxCode_[len] = n ? code + n - 1 : -1;
    for (int i = 0; i < n; ++i, ++code, ++k) {
      if (len <= kLookBits) {
        const int shift = kLookBits - len;
        const int first = code << shift;
        for (int j = 0; j < (1 << shift); ++j) look_[first + j] = static_cast<uint16_t>(len << 8 | values_[k]);
      }
    }
    code <<= 1;
  }

  // Ready symbols: a code with a size whose extra bits fit too (DC: any size the
  // decoder takes; AC: with its run), and the AC end of block.
  for (int look = 0; look < (1 << kLookBits); ++look) {
    const int e = look_[look];
    if (e == 0) continue;
    const int len = e >> 8;
    const int rs = e & 0xFF;
    const int run = ac ? rs >> 4 : 0;
    const int size = ac ? rs & 15 : rs;
    if (ac && rs == 0) {
      fast_[look] = kEndOfBlock << 8 | len;
      continue;
    }
    if (len + size > kLookBits || (ac && size == 0) || size > 11) continue;
    int v = 0;
    if (size > 0) {
      v = (look >> (kLookBits - len - size)) & ((1 << size) - 1);
      if (v < (1 << (size - 1))) v -= (1 << size) - 1;
    }
    fast_[look] = v * 65536 + (ac ? (run + 1) << 8 : 0) + len + size;
  }
  defined_ = true;
}

int JHuffTable::DecodeLong(JInBitStream::Bits& b) const {
  for (int len = kLookBits + 1; len <= 16; ++len) {
    const int code = static_cast<int>(JInBitStream::Peek(b, len));
    if (code <= maxCode_[len]) {
      JInBitStream::Consume(b, len);
      return values_[(valOffset_[len] + code) & 0xFF];
    }
  }
  return -1;
}
