// Fixed tables of the encoder: the quantisation tables of the three quality levels
// (natural order; written in DQT and used as divisors) and the example Huffman
// tables of ITU-T T.81 Annex K.3.
#pragma once

#include <cstdint>

// Level 1 high compression, 2 standard, 3 high quality (index level - 1).
extern const uint8_t kJLumaQuant[3][64];
extern const uint8_t kJChromaQuant[3][64];

struct JHuffDefinition {
  uint8_t counts[16];
  const uint8_t* values;
  int valueCount;
};
extern const JHuffDefinition kJDcLuma;
extern const JHuffDefinition kJDcChroma;
extern const JHuffDefinition kJAcLuma;
extern const JHuffDefinition kJAcChroma;
