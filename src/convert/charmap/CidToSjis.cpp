#include "convert/charmap/CidToSjis.h"

#include <cstdint>

#include "app/QelDoc.h"
#include "convert/ConvertState.h"

namespace {

struct CidRange {
  int cid;
  int sjis;
};

// Ranges before the kanji rows (entries 1 to 27).
constexpr CidRange kLeadRanges[] = {
    {422, 0x8640}, {485, 0x8680}, {503, 0x8693}, {633, 0x8140}, {696, 0x8180}, {749, 0x81C8}, {756, 0x81DA},
    {761, 0x8791}, {762, 0x8790}, {768, 0x879A}, {769, 0x8792}, {771, 0x81F0}, {779, 0x81FC}, {780, 0x824F},
    {790, 0x8260}, {816, 0x8281}, {842, 0x829F}, {925, 0x8340}, {842, 0x829F}, {925, 0x8340}, {988, 0x8380},
    {1011, 0x839F}, {1035, 0x83BF}, {1059, 0x8440}, {1092, 0x8470}, {1107, 0x8480}, {1125, 0x889F},
};

// Ranges after the kanji rows (entries 96 to 165).
constexpr CidRange kTailRanges[] = {
    {7443, 0xEA80}, {7477, 0xEAA2}, {7479, 0x849F}, {7480, 0x84AA}, {7481, 0x84A0}, {7482, 0x84AB}, {7491, 0x84A1},
    {7494, 0x84AC}, {7495, 0x84A2}, {7498, 0x84AD}, {7499, 0x84A4}, {7502, 0x84AF}, {7503, 0x84A3}, {7506, 0x84AE},
    {7507, 0x84A5}, {7508, 0x84BA}, {7511, 0x84B5}, {7514, 0x84B0}, {7515, 0x84A7}, {7516, 0x84BC}, {7519, 0x84B7},
    {7522, 0x84B2}, {7523, 0x84A6}, {7526, 0x84B6}, {7527, 0x84BB}, {7530, 0x84B1}, {7531, 0x84A8}, {7534, 0x84B8},
    {7535, 0x84BD}, {7538, 0x84B3}, {7539, 0x84A9}, {7542, 0x84B9}, {7545, 0x84BE}, {7554, 0x84B4}, {7555, 0x8740},
    {7585, 0x875F}, {7608, 0x8780}, {7624, 0x8793}, {7631, 0x879B}, {7632, 0x879C}, {7887, 0x8141}, {7889, 0x8150},
    {7891, 0x815B}, {7894, 0x8160}, {7899, 0x8169}, {7917, 0x8181}, {7918, 0x829F}, {7919, 0x82A1}, {7920, 0x82A3},
    {7921, 0x82A5}, {7922, 0x82A7}, {7923, 0x82C1}, {7924, 0x82E1}, {7925, 0x82E3}, {7926, 0x82E5}, {7927, 0x82EC},
    {7928, 0x8340}, {7929, 0x8342}, {7930, 0x8344}, {7931, 0x8346}, {7932, 0x8348}, {7933, 0x8362}, {7934, 0x8383},
    {7935, 0x8385}, {7936, 0x8387}, {7937, 0x838E}, {7938, 0x8395}, {7940, 0x875F}, {7956, 0x8780}, {7958, 0x8782},
};

// Trail bytes (lead 0x81) of CIDs 98 to 139; 0 where the CID has no such symbol.
constexpr unsigned char kSymbolTrail[42] = {
    0x65, 0x62, 0x60, 0x49, 0x91, 0x92, 0x5E, 0xE7, 0x98, 0x5A, 0x67, 0x73, 0x71, 0x72,
    0x00, 0x00, 0x5D, 0xF5, 0xF6, 0x45, 0xF7, 0x9C, 0x43, 0x00, 0x68, 0x74, 0x63, 0xF1,
    0x48, 0x4C, 0x4F, 0x50, 0x4D, 0x4D, 0x4E, 0x4B, 0x43, 0x56, 0x43, 0x4D, 0x5C, 0x00,
};

constexpr int kTableEntries = 256;
constexpr int kLookupEntries = 199;

void SetPair(unsigned char* high, unsigned char* low, int first, int second) {
  *high = static_cast<unsigned char>(first);
  *low = static_cast<unsigned char>(second);
}

void SetCode(unsigned char* high, unsigned char* low, int code) { SetPair(high, low, code >> 8 & 0xFF, code & 0xFF); }

}  // namespace

void BuildCidToSjisTables(int* rangeStart, int* rangeSjis, unsigned char* symbolTrail) {
  for (int i = 0; i < kTableEntries; ++i) {
    rangeStart[i] = 0;
    rangeSjis[i] = 0;
  }
  int entry = 1;
  for (const CidRange& r : kLeadRanges) {
    rangeStart[entry] = r.cid;
    rangeSjis[entry] = r.sjis;
    ++entry;
  }
  // The kanji rows: each lead byte has its row start and its second half (trail 0x80);
  // row 0x98 breaks between JIS levels 1 and 2.
  int cid = 1219;
  for (int lead = 0x89; lead <= 0xEA; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;
    if (lead == 0x98) {
      rangeStart[entry] = 4039, rangeSjis[entry++] = 0x9840;
      rangeStart[entry] = 4090, rangeSjis[entry++] = 0x989F;
      rangeStart[entry] = 4102, rangeSjis[entry++] = 0x98AB;
      cid = 4184;
      continue;
    }
    rangeStart[entry] = cid, rangeSjis[entry++] = lead << 8 | 0x40;
    if (lead != 0xEA) rangeStart[entry] = cid + 63, rangeSjis[entry++] = lead << 8 | 0x80;
    cid += 188;
  }
  for (const CidRange& r : kTailRanges) {
    rangeStart[entry] = r.cid;
    rangeSjis[entry] = r.sjis;
    ++entry;
  }
  for (int i = 0; i < 1024; ++i) symbolTrail[i] = i < 42 ? kSymbolTrail[i] : 0;
}

void MapCidToSjis(unsigned char* high, unsigned char* low, const int* rangeStart, const int* rangeSjis,
                  const unsigned char* symbolTrail) {
  const int cid = *high << 8 | *low;
  if (cid == 0) return SetPair(high, low, ' ', 0);
  if (cid <= 96) return SetPair(high, low, cid + 31, 0);
  if (cid == 97) return SetPair(high, low, '?', 0);
  if (cid <= 139) {
    const int trail = symbolTrail[cid - 98];
    if (trail != 0) return SetPair(high, low, 0x81, trail);
    if (cid == 112) return SetPair(high, low, 'f', 'i');
    if (cid == 113) return SetPair(high, low, 'f', 'l');
    if (cid == 121) return SetPair(high, low, ',', ',');
    return SetPair(high, low, 0xA5, 0);  // 139
  }
  if (cid <= 229) {
    switch (cid) {
      case 151: return SetPair(high, low, 0x81, 0x5D);
      case 152: return SetPair(high, low, 'c', 0);
      case 154: return SetPair(high, low, 'R', 0);
      case 155: return SetPair(high, low, 0x81, 0x4B);
      case 156: return SetPair(high, low, 0x81, 0x7D);
      case 215: return SetPair(high, low, 0x81, 0x80);
      default: return SetPair(high, low, '?', 0);
    }
  }
  if (cid == 326) return SetPair(high, low, ' ', 0);                 // not the control byte 0x7F
  if (cid <= 326) return SetPair(high, low, (cid + 57) & 0xFF, 0);  // half-width Roman
  if (cid <= 389) return SetPair(high, low, (cid + 90) & 0xFF, 0);  // half-width katakana
  if (cid <= 421) return SetPair(high, low, *high, 0);
  if (cid <= 7957) {
    // CIDs that the range tables would place on unassigned or wrong codes.
    if (cid == 631) return SetPair(high, low, 0x7E, 0);
    if (cid >= 741 && cid <= 748) return SetCode(high, low, 0x81B8 + cid - 741);
    if (cid >= 763 && cid <= 767) return SetCode(high, low, 0x81E1 + cid - 763);
    if (cid == 770) return SetCode(high, low, 0x81E8);
    // The first entry (in table order) that starts above the CID closes its range.
    for (int i = 1; i <= kLookupEntries; ++i) {
      if (rangeStart[i] > cid && rangeSjis[i - 1] != 0) {
        return SetCode(high, low, cid + rangeSjis[i - 1] - rangeStart[i - 1]);
      }
    }
    return;  // no range: the CID's bytes stay
  }
  if (cid >= 8359 && cid <= 8393) return SetPair(high, low, 0xFA, (cid - 75) & 0xFF);
  if (cid >= 8394 && cid <= 8473) return SetPair(high, low, 0xFA, (cid - 74) & 0xFF);
  if (cid >= 8474 && cid <= 8517) return SetPair(high, low, 0xFA, (cid - 73) & 0xFF);  // FAD0 is a JIS kanji
  if (cid >= 8518 && cid <= 8580) return SetPair(high, low, 0xFB, (cid - 6) & 0xFF);
  if (cid >= 8581 && cid <= 8705) return SetPair(high, low, 0xFB, (cid - 5) & 0xFF);
  if (cid >= 8706 && cid <= 8718) return SetPair(high, low, 0xFC, (cid + 62) & 0xFF);
  // Kanji of the 1990 JIS additions and an NEC symbol among the CIDs below.
  if (cid == 8284 || cid == 8285) return SetCode(high, low, 0xEAA3 + cid - 8284);
  if (cid == 8323) return SetCode(high, low, 0x877E);
  if (*high >= 32 && *high <= 127) return SetPair(high, low, *high, 0);
  SetPair(high, low, 0x81, 0xA1);
}

void CQelDoc::BuildCidTables() {
  ConvertState& cid = Convert();
  BuildCidToSjisTables(cid.m_anCidRangeStart.data(), cid.m_anCidRangeSjis.data(), cid.m_abyCidSymbolTrail.data());
}
