// ZIP and LZH listings, row by row against Python's zipfile and lhasa, on archives
// made by zip, Python and lha, and on the shared corpus of LZH archives.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "convert/dump/DumpTestSupport.h"

namespace {

using dumptest::DumpTest;
using dumptest::Lines;

std::string NoCommas(std::string s) {
  std::erase(s, ',');
  std::erase(s, ' ');
  return s;
}

// The member rows of a ZIP listing as "compressed|original|mm/dd'yy hh:mm|name".
std::vector<std::string> ZipRows(const std::string& text) {
  std::vector<std::string> rows;
  const auto lines = Lines(text);
  for (size_t i = 3; i < lines.size() && lines[i].rfind("     ---", 0) != 0; ++i) {
    const std::string& l = lines[i];
    if (l.size() < 56) continue;
    rows.push_back(NoCommas(l.substr(0, 16)) + "|" + NoCommas(l.substr(16, 13)) + "|" + l.substr(39, 14) + "|" + l.substr(56));
  }
  return rows;
}

// The same rows as Python's zipfile reads them from the central directory.
std::vector<std::string> PythonZipRows(const std::string& host) {
  const std::string script =
      "import sys,zipfile\n"
      "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
      " y,mo,d,h,mi,s=i.date_time\n"
      " print('%d|%d|%02d/%02d\\'%02d %02d:%02d|%s'%(i.compress_size,i.file_size,mo,d,y%100,h,mi,i.filename))\n";
  testenv::WriteHostFile(host + ".py", script);
  std::istringstream out(testenv::Shell("python3 " + testenv::Quote(host + ".py") + " " + testenv::Quote(host)));
  std::vector<std::string> rows;
  for (std::string line; std::getline(out, line);) rows.push_back(line);
  return rows;
}

class ListingTest : public DumpTest {};

TEST_F(ListingTest, ZipRowsAgreeWithPythonZipfile) {
  SKIP_WITHOUT_PROGRAM("python3");
  SKIP_WITHOUT_PROGRAM("zip");
  const std::string d = dir_.Host();
  testenv::WriteHostFile(d + "/t/docs/readme.txt", std::string(5000, 'r'));
  testenv::WriteHostFile(d + "/t/docs/empty.txt", "");
  testenv::WriteHostFile(d + "/t/stored.bin", std::string(1234, '\x01'));
  testenv::WriteHostFile(d + "/t/deep/a/b/c.txt", "see\n");
  testenv::Shell("cd " + d + "/t && touch -d '1999-07-04 14:25' docs/readme.txt && zip -qr ../plain.zip . && "
                 "zip -q0 ../stored.zip stored.bin && cat docs/readme.txt | zip -q ../piped.zip - && "
                 "zip -qr -fd ../descr.zip docs");
  testenv::WriteHostFile(d + "/stream.zip", Fixture("stream.zip"));
  testenv::WriteHostFile(d + "/zip64.zip", Fixture("zip64.zip"));
  for (const char* name : {"plain.zip", "stored.zip", "piped.zip", "descr.zip", "stream.zip", "zip64.zip"}) {
    const std::string host = d + "/" + name;
    if (!std::filesystem::exists(host)) continue;
    const auto expected = PythonZipRows(host);
    ASSERT_FALSE(expected.empty()) << name;
    const std::string text = ShowPath(Win(name));
    EXPECT_EQ(ZipRows(text), expected) << name << "\n" << text;
  }
}

TEST_F(ListingTest, ZipNumberFormsDatesAndTotals) {
  // Local headers written here: sizes, dates and a name with a control byte.
  auto header = [](uint32_t csize, uint32_t usize, uint16_t date, uint16_t time, const std::string& name) {
    std::string h = "PK\x03\x04";
    h += std::string("\x14\x00\x00\x00\x00\x00", 6);
    auto put16 = [&](uint32_t v) { h += static_cast<char>(v & 0xFF), h += static_cast<char>(v >> 8 & 0xFF); };
    put16(time), put16(date), put16(0), put16(0);
    put16(csize & 0xFFFF), put16(csize >> 16), put16(usize & 0xFFFF), put16(usize >> 16);
    put16(static_cast<uint32_t>(name.size())), put16(0);
    return h + name + std::string(csize, 'd');
  };
  const uint16_t july4 = static_cast<uint16_t>((1999 - 1980) << 9 | 7 << 5 | 4);
  const uint16_t at1425 = static_cast<uint16_t>(14 << 11 | 25 << 5);
  const uint16_t in2040 = static_cast<uint16_t>((2040 - 1980) << 9 | 1 << 5 | 1);
  std::string zip = header(1234567, 2000000, july4, at1425, "big") + header(999, 333, july4, at1425, "x\x01y") +
                    header(1000000, 1000000, in2040, 0, "round") + header(0, 0, july4, 0, "empty/");
  zip += "PK\x01\x02" + std::string(60, '\0');
  const auto lines = Lines(Show("forms.zip", zip));
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(lines[3], "       1,234,567    2,000,000    61%   07/04'99 14:25   big");
  EXPECT_EQ(lines[4], "             999          333   300%   07/04'99 14:25   x y");
  EXPECT_EQ(lines[5], "        1000,000     1000,000   100%   01/01'70 09:00   round");
  EXPECT_EQ(lines[6], "               0            0     0%   07/04'99 00:00   empty/");
  EXPECT_EQ(lines[8], "       2,235,566    3,000,333    74%                    3 files Total");
}

// The rows of an LZH listing as "compressed|original|path" ('\' and " / " joined to '/').
std::vector<std::string> LzhRows(const std::string& text) {
  std::vector<std::string> rows;
  const auto lines = Lines(text);
  for (size_t i = 3; i < lines.size() && lines[i].rfind("\t---", 0) != 0; ++i) {
    std::istringstream in(lines[i]);
    std::string c, o, ratio;
    in >> c >> o >> ratio;
    std::string rest;
    std::getline(in, rest);
    rest.erase(0, rest.find_first_not_of("\t "));
    std::string name = rest, dir;
    if (const size_t slash = rest.find(" / "); slash != std::string::npos) {
      name = rest.substr(0, slash);
      dir = rest.substr(slash + 3);
      name.erase(name.find_last_not_of(' ') + 1);
    }
    std::string path = dir + name;
    for (char& ch : path) {
      if (ch == '\\') ch = '/';
    }
    rows.push_back(c + "|" + o + "|" + path);
  }
  return rows;
}

// lhasa's reading of the same archive: packed, size and name of each member, from
// its fixed columns.
std::vector<std::string> LhasaRows(const std::string& host, bool names) {
  std::istringstream out(testenv::Shell("lhasa v " + testenv::Quote(host) + " 2>/dev/null"));
  std::vector<std::string> rows;
  int rules = 0;
  for (std::string line; std::getline(out, line);) {
    if (line.rfind("----", 0) == 0) {
      ++rules;
      continue;
    }
    if (rules != 1 || line.size() <= 70) continue;
    std::istringstream sizes(line.substr(22));
    std::string packed, size;
    sizes >> packed >> size;
    rows.push_back(packed + "|" + size + (names ? "|" + line.substr(70) : ""));
  }
  return rows;
}

TEST_F(ListingTest, LzhRowsAgreeWithLhasaAtEachHeaderLevel) {
  SKIP_WITHOUT_PROGRAM("lhasa");
  for (const char* name : {"level0.lzh", "level1.lzh", "level2.lzh"}) {
    testenv::WriteHostFile(dir_.HostPath(name), Fixture(name));
    const std::string text = ShowPath(Win(name));
    EXPECT_EQ(LzhRows(text), LhasaRows(dir_.HostPath(name), true)) << name << "\n" << text;
    EXPECT_NE(text.find("\t        524\t       1098\t  47%\t\t2 files Total"), std::string::npos) << text;
  }
}

TEST_F(ListingTest, LzhLevelTwoDirectoryColumn) {
  const std::string text = ShowFixture("level2.lzh");
  EXPECT_NE(text.find("\t\tnums.txt               / sub\\deep\\\r\n"), std::string::npos) << text;
}

TEST_F(ListingTest, SharedLzhCorpusAgreesWithLhasa) {
  SKIP_WITHOUT_PROGRAM("lhasa");
  const std::string root = testenv::SharedTestData("lzh");
  SKIP_WITHOUT_SHARED_DATA(root);
  // Where the listing and lhasa part by design: methods other than -lh (not listed),
  // a member cut short (no row), and level-0 directory entries, which lhasa skips.
  const std::vector<std::string> differ = {"lz5", "truncated", "h0_subdir", "lh0_dirs_bug", "os9_211c/h1_subdir",
                                           "os9_211c/h2_subdir"};
  int archives = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string host = entry.path().string();
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".lzh" && ext != ".LZH")) continue;
    bool skip = false;
    for (const auto& d : differ) skip = skip || host.find(d) != std::string::npos;
    if (skip) continue;
    testenv::WriteHostFile(dir_.HostPath("c.lzh"), testenv::ReadHostFile(host));
    std::vector<std::string> ours;
    for (const auto& row : LzhRows(ShowPath(Win("c.lzh")))) ours.push_back(row.substr(0, row.find('|', row.find('|') + 1)));
    EXPECT_EQ(ours, LhasaRows(host, false)) << host;
    // Header NUL bytes make an archive look binary; its listing is whole all the same.
    EXPECT_EQ(doc_->m_bPartialLoad, 0) << host;
    ++archives;
  }
  EXPECT_GT(archives, 50);
}

}  // namespace

namespace {

// A local header: version 20, the flags, method 0, a fixed date, sizes, the name,
// and an extra field.
std::string LocalHeader(uint16_t flags, uint32_t compressed, uint32_t original, const std::string& name,
                        const std::string& extra = "") {
  std::string h = std::string("PK\x03\x04", 4);
  auto le = [&](uint64_t v, int n) {
    for (int i = 0; i < n; ++i) h += static_cast<char>(v >> (8 * i) & 0xFF);
  };
  le(20, 2), le(flags, 2), le(0, 2), le(0x6DBD, 2), le(0x58A6, 2), le(0, 4), le(compressed, 4), le(original, 4);
  le(name.size(), 2), le(extra.size(), 2);
  return h + name + extra;
}

}  // namespace

TEST_F(ListingTest, NamesSizesDescriptorsAndThePartialFlag) {
  // UTF-8 names (flag bit 11) are listed in Shift-JIS; with the setting on, unflagged
  // UTF-8 names too, while a Shift-JIS name stays as it is.
  std::string zip = LocalHeader(0x0800, 4, 4, "\xE6\x97\xA5\xE6\x9C\xAC.txt") + "abcd" +
                    LocalHeader(0, 4, 4, "\xE8\xA1\xA8.txt") + "efgh" + LocalHeader(0, 4, 4, "\x95\x5C.txt") + "ijkl" +
                    std::string(64, '\0');
  std::vector<std::string> rows = ZipRows(Show("names.zip", zip));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].substr(rows[0].rfind('|') + 1), "\x93\xFA\x96\x7B.txt");
  EXPECT_EQ(rows[1].substr(rows[1].rfind('|') + 1), "\xE8\xA1\xA8.txt") << "unflagged: as stored";
  ASSERT_EQ(ApplySetting(*doc_, "utf8names", "1"), "");
  rows = ZipRows(Show("names.zip", zip));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].substr(rows[1].rfind('|') + 1), "\x95\x5C.txt");
  EXPECT_EQ(rows[2].substr(rows[2].rfind('|') + 1), "\x95\x5C.txt") << "a Shift-JIS name stays";
  ASSERT_EQ(ApplySetting(*doc_, "utf8names", "0"), "");

  // 2,500 members that promise descriptors they never write, before 4 MB of zeros:
  // each is listed, and the searches read the zeros about once (not once a member).
  std::string promises;
  for (int i = 0; i < 2500; ++i) promises += LocalHeader(0x0008, 0, 0, "m" + std::to_string(i));
  promises += std::string(4 << 20, '\0');
  const std::string text = Show("promises.zip", promises);
  EXPECT_NE(text.find("m2499\r\n"), std::string::npos);
  EXPECT_EQ(ZipRows(text).size(), 2500u);

  // Zip64 sizes of a billion and more take their billions separator (a sparse file
  // holds the data the header promises).
  std::string extra = std::string("\x01\x00\x10\x00", 4);
  for (uint64_t v : {uint64_t{2345678901}, uint64_t{1234567890}})
    for (int i = 0; i < 8; ++i) extra += static_cast<char>(v >> (8 * i) & 0xFF);
  const std::string big = WriteFile("big.zip", LocalHeader(0, 0xFFFFFFFF, 0xFFFFFFFF, "big.bin", extra));
  std::filesystem::resize_file(dir_.HostPath("big.zip"), 1300000000);
  ShowPath(big);
  EXPECT_NE(Text().find("    1,234,567,890 2,345,678,901    52%"), std::string::npos) << Text();
  EXPECT_EQ(doc_->m_bPartialLoad, 0) << "the listing covers the whole archive";
}
