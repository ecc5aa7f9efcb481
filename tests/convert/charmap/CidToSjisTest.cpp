// CIDs of Adobe-Japan1 against poppler-data's 90ms-RKSJ-H CMap: the character we
// give each CID must be one that the CMap's Shift-JIS codes for that CID decode to.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <cstdio>
#include <set>
#include <sstream>

#include "convert/charmap/CharMaps.h"
#include "convert/charmap/CidToSjis.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

const char* kCmapPath = "/usr/share/poppler/cMap/Adobe-Japan1/90ms-RKSJ-H";

// CID -> the Shift-JIS codes that the CMap maps to it ("<lo> <hi> cid" ranges and
// "<code> cid" single entries).
std::map<int, std::set<int>> ReadCmap() {
  std::map<int, std::set<int>> byCid;
  std::ifstream in(kCmapPath);
  std::string line;
  bool inRange = false, inChar = false;
  while (std::getline(in, line)) {
    if (line.find("begincidrange") != std::string::npos) inRange = true;
    if (line.find("endcidrange") != std::string::npos) inRange = false;
    if (line.find("begincidchar") != std::string::npos) inChar = true;
    if (line.find("endcidchar") != std::string::npos) inChar = false;
    unsigned lo, hi;
    int cid;
    if (inRange && std::sscanf(line.c_str(), " <%x> <%x> %d", &lo, &hi, &cid) == 3) {
      for (unsigned code = lo; code <= hi; ++code) byCid[cid + static_cast<int>(code - lo)].insert(static_cast<int>(code));
    } else if (inChar && std::sscanf(line.c_str(), " <%x> %d", &lo, &cid) == 2) {
      byCid[cid].insert(static_cast<int>(lo));
    }
  }
  return byCid;
}

struct Tables {
  int start[256];
  int sjis[256];
  unsigned char trail[1024];
  Tables() { BuildCidToSjisTables(start, sjis, trail); }
  int Map(int cid) const {
    unsigned char hi = static_cast<unsigned char>(cid >> 8), lo = static_cast<unsigned char>(cid & 0xFF);
    MapCidToSjis(&hi, &lo, start, sjis, trail);
    return lo == 0 ? hi : hi << 8 | lo;
  }
};

char16_t Decode(int code) { return plat::Cp932CodeToUnicode(static_cast<uint16_t>(code)); }

// Where the system's map deliberately differs from the CMap: ranges of CIDs and why.
struct Deliberate {
  int first, last;
  const char* why;
};
const Deliberate kDeliberate[] = {
    {326, 326, "the CMap's byte A0 has no character in the code page: shown as a space"},
    {7958, 8358, "NEC and IBM variants outside the ranges: the replacement square"},
};

bool IsDeliberate(int cid) {
  for (const auto& d : kDeliberate) {
    if (cid >= d.first && cid <= d.last) return true;
  }
  return false;
}

TEST(CidToSjis, EveryCidAgreesWithTheCmap) {
  std::ifstream probe(kCmapPath);
  if (!probe) {
    if (std::getenv("CI")) FAIL() << "poppler-data is not installed (" << kCmapPath << ")";
    GTEST_SKIP() << "poppler-data is not installed (" << kCmapPath << ")";
  }
  const auto cmap = ReadCmap();
  ASSERT_GT(cmap.size(), 7000u);
  Tables t;
  int checked = 0;
  std::ostringstream wrong;
  for (const auto& [cid, codes] : cmap) {
    if (cid > 8718 || IsDeliberate(cid)) continue;
    const int ours = t.Map(cid);
    bool match = false;
    for (int code : codes) match = match || (Decode(code) != 0xFFFF && Decode(code) == Decode(ours));
    if (!match) wrong << " " << cid << "->" << std::hex << ours << std::dec;
    ++checked;
  }
  EXPECT_EQ(wrong.str(), "");
  EXPECT_GT(checked, 7000);
}

TEST(CidToSjis, TablesAndEdgeCases) {
  Tables t;
  EXPECT_EQ(t.start[28], 1219);
  EXPECT_EQ(t.sjis[95], 0xEA40);
  EXPECT_EQ(t.start[165], 7958);
  EXPECT_EQ(t.start[166], 0);
  EXPECT_EQ(t.trail[41], 0);
  const std::pair<int, int> cases[] = {
      {1, ' '},        {34, 'A'},       {231, ' '},      {327, 0xA1},     {1125, 0x889F}, {1218, 0x88FC},
      {1219, 0x8940},  {1282, 0x8980},  {4089, 0x9872},  {4090, 0x989F},  {7957, 0x8781}, {7958, 0x81A1},
      {112, 'f' << 8 | 'i'}, {139, 0xA5}, {97, '?'},     {741, 0x81B8},   {748, 0x81BF},  {763, 0x81E1},
      {767, 0x81E5},   {770, 0x81E8},   {8359, 0xFA5C},  {8474, 0xFAD1},  {8717, 0xFC4B},  {631, 0x7E},  {8284, 0xEAA3},  {8323, 0x877E},  {326, ' '},
  };
  for (const auto& [cid, code] : cases) EXPECT_EQ(t.Map(cid), code) << "CID " << cid;
}

TEST(CharMaps, PdfDocBytesAndUnicodeReplacements) {
  auto pdf = [](unsigned char b) {
    unsigned char prefix;
    MapPdfDocChar(&b, &prefix);
    return std::pair<int, int>(prefix, b);
  };
  EXPECT_EQ(pdf(0xA9), std::make_pair(int('('), int('C')));
  EXPECT_EQ(pdf(0x99), std::make_pair(int('('), int('T')));
  EXPECT_EQ(pdf(0x0E), std::make_pair(0x0E, int('i')));
  EXPECT_EQ(pdf(0x0F), std::make_pair(0x0E, int('i')));
  EXPECT_EQ(pdf(0xA7), std::make_pair(0x81, 0x98));
  EXPECT_EQ(pdf(0x41), std::make_pair(int(' '), 0x41));
  EXPECT_EQ(pdf(0x05), std::make_pair(int(' '), 0x65));
  EXPECT_EQ(pdf(0xC0), std::make_pair(int(' '), 0xC0));
  EXPECT_EQ(pdf(0xE5), std::make_pair(int(' '), 0xB7));
  unsigned char a, b;
  EXPECT_EQ(MapUnicodeToSjis(0x2014, &a, &b), 2);
  EXPECT_EQ(a << 8 | b, 0x815C);
  EXPECT_EQ(MapUnicodeToSjis(0xE123, &a, &b), 2);
  EXPECT_EQ(a << 8 | b, 0x81A0);
  EXPECT_EQ(MapUnicodeToSjis(0x2603, &a, &b), 2);
  EXPECT_EQ(a << 8 | b, 0x81A1);
  EXPECT_EQ(MapUnicodeToSjis(0x2005, &a, &b), 1);
  EXPECT_EQ(a, ' ');
}

}  // namespace
