// The modified Huffman run-length codes of ITU-T T.4 (white and black terminating
// codes 0..63, make-up codes 64..1728, the shared extended make-up codes
// 1792..2560), written as their bit strings.
#pragma once

struct CcittCode {
  const char* bits;
  int run;
};

extern const CcittCode kCcittWhiteCodes[];
extern const int kCcittWhiteCount;
extern const CcittCode kCcittBlackCodes[];
extern const int kCcittBlackCount;
