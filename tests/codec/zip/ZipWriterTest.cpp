// Archives of our writer checked by tools nobody here wrote: unzip -t, zipinfo -v,
// zipdetails, 7z t and Python's zipfile; the header parser against Python's zipfile.
#include <gtest/gtest.h>

#include <sstream>

#include "base/ByteCursor.h"
#include "codec/CodecTestSupport.h"
#include "codec/zip/ZipReader.h"
#include "codec/zip/ZipWriter.h"

using namespace archtest;

namespace {

class BytesSource : public codec::CByteSource {
 public:
  explicit BytesSource(Bytes b) : bytes_(std::move(b)) {}
  int64_t Read(uint8_t* data, size_t n) override {
    size_t k = std::min(n, bytes_.size() - pos_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), k, data);
    pos_ += k;
    return static_cast<int64_t>(k);
  }

 private:
  Bytes bytes_;
  size_t pos_ = 0;
};

codec::CZipHeader Record(const std::string& name, int year, int month, int day, int hour, int minute, int second) {
  codec::CZipHeader h;
  h.name = name;
  h.year = year, h.month = month, h.day = day, h.hour = hour, h.minute = minute, h.second = second;
  return h;
}

struct Member {
  std::string name;
  Bytes data;
};

Bytes WriteArchive(const std::vector<Member>& members) {
  codec::CVectorSink out;
  codec::CZipWriter w(out);
  for (const Member& m : members) {
    codec::CZipHeader h = Record(m.name, 2024, 5, 6, 13, 45, 58);
    if (!m.name.empty() && m.name.back() == '/') {
      w.AddFolder(h);
    } else {
      BytesSource src(m.data);
      w.AddFile(h, src);
    }
  }
  w.Finish();
  return out.bytes;
}

}  // namespace

TEST(ZipWriter, RecordsAndDates) {
  Bytes zip = WriteArchive({{"a.txt", ToBytes("hello hello hello")}, {"dir/", {}}, {"empty.txt", {}}});
  // First local header: version 20, method 8, DOS time 0x6DBD and date 0x58A6.
  const ByteCursor local(zip);
  EXPECT_EQ(local.PeekU32LE(0), codec::kLocalSignature);
  EXPECT_EQ(local.PeekU16LE(4), 20);
  EXPECT_EQ(local.PeekU16LE(8), 8);
  EXPECT_EQ(local.PeekU16LE(10), 0x6DBD);
  EXPECT_EQ(local.PeekU16LE(12), 0x58A6);
  codec::CZipReader reader(zip);
  ASSERT_TRUE(reader.FromDirectory());
  ASSERT_EQ(reader.Entries().size(), 3u);
  const codec::CZipHeader& folder = reader.Entries()[1].header;
  EXPECT_EQ(folder.versionNeeded, 10);
  EXPECT_EQ(folder.method, 0);
  EXPECT_EQ(folder.compressedSize, 0u);
  // An empty file still ends with a final block.
  const codec::ZipEntry& empty = reader.Entries()[2];
  EXPECT_EQ(empty.header.compressedSize, 2u);
  EXPECT_EQ(zip[empty.dataOffset] & 1, 1);

  // Dates before 1980 are clamped to 1980-01-01, after 2107 to 2107-12-31.
  codec::CZipHeader old = Record("x", 1970, 6, 1, 12, 0, 0);
  EXPECT_EQ(old.DosDate(), 0x21);
  EXPECT_EQ(old.DosTime(), 0);
  codec::CZipHeader late = Record("x", 2200, 6, 1, 12, 0, 0);
  EXPECT_EQ(late.DosDate(), (127 << 9) | (12 << 5) | 31);
  // Sizes of 4 GiB and more are refused.
  codec::CZipHeader big = Record("big", 2024, 1, 1, 0, 0, 0);
  big.uncompressedSize = 0x100000000ull;
  Bytes rec;
  EXPECT_THROW(codec::AppendLocalHeader(rec, big), codec::CodecError);
}

TEST(ZipWriter, OutsideToolsAcceptOurArchives) {
  testenv::TempDir dir;
  std::vector<Member> members = {
      {"text.txt", SampleText(300000)},
      {"bin/sh.bin", SampleBinary(300000)},
      {"bin/", {}},
      {"empty.txt", {}},
      {"zeros.bin", Bytes(200000, 0)},
      {"\x95\x5C.txt", ToBytes("sjis")},  // 表: trail byte 0x5C
  };
  const std::string zip = dir.HostPath("ours.zip");
  testenv::WriteHostFile(zip, ToString(WriteArchive(members)));
  int status = -1;
  if (testenv::PeerProgram("unzip")) {
    std::string out = testenv::Shell("unzip -t " + Q(zip) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("No errors detected"), std::string::npos) << out;
  }
  if (testenv::PeerProgram("zipinfo")) {
    std::string out = testenv::Shell("zipinfo -v " + Q(zip) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("2024 May 6 13:45:58"), std::string::npos) << out;
  }
  if (testenv::PeerProgram("zipdetails")) {
    std::string out = testenv::Shell("zipdetails " + Q(zip) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("Error"), std::string::npos) << out;
  }
  if (testenv::PeerProgram("7z")) {
    std::string out = testenv::Shell("7z t " + Q(zip) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;
  }
  if (testenv::PeerProgram("python3")) {
    std::string out = testenv::Shell(
        "python3 -c \"import zipfile,sys;z=zipfile.ZipFile(sys.argv[1]);print(z.testzip(), len(z.infolist()), "
        "len(z.read('text.txt')), z.read('zeros.bin')==bytes(200000))\" " + Q(zip) + " 2>&1");
    EXPECT_EQ(out, "None 6 " + std::to_string(members[0].data.size()) + " True\n");
  }
}

// The one parser of a header's fixed part, on an archive of Debian's zip, against
// what Python's zipfile reads from the same local and central header.
TEST(ZipFixedPart, LocalAndCentralAgreeWithPythonZipfile) {
  SKIP_WITHOUT_PROGRAM("zip");
  SKIP_WITHOUT_PROGRAM("python3");
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("in/notes.txt"), ToString(SampleText(5000)));
  const std::string zip = dir.HostPath("z.zip");
  testenv::Shell("cd " + Q(dir.HostPath("in")) + " && zip -q -X " + Q(zip) + " notes.txt");
  const std::string want = testenv::Shell(
      "python3 -c \"import zipfile,sys;z=zipfile.ZipFile(sys.argv[1]);i=z.infolist()[0];"
      "print(z.start_dir,i.compress_type,i.flag_bits,i.compress_size,i.file_size,*i.date_time[:5],len(i.filename))\" " + Q(zip));
  const Bytes b = ToBytes(testenv::ReadHostFile(zip));
  for (bool central : {false, true}) {
    codec::ZipFixedPart f;
    const size_t at = central ? std::stoul(want) : 0;
    ASSERT_TRUE(central ? codec::ReadCentralFixed(std::span(b).subspan(at), f) : codec::ReadLocalFixed(b, f));
    const codec::CZipHeader& h = f.header;
    EXPECT_EQ(h.signature, central ? codec::kCentralSignature : codec::kLocalSignature);
    std::ostringstream got;
    got << std::stoul(want) << ' ' << h.method << ' ' << h.flags << ' ' << h.compressedSize << ' ' << h.uncompressedSize << ' '
        << h.year << ' ' << h.month << ' ' << h.day << ' ' << h.hour << ' ' << h.minute << ' ' << f.nameLength << '\n';
    EXPECT_EQ(got.str(), want) << (central ? "central" : "local");
  }
  codec::ZipFixedPart cut;
  EXPECT_FALSE(codec::ReadLocalFixed(std::span(b).first(29), cut));
  EXPECT_FALSE(codec::ReadCentralFixed(std::span(b).first(45), cut));
}
