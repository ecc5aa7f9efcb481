// Inflate against streams that zlib, zip and 7z wrote, and against hand-built streams
// that break each rule of the format.
#include <gtest/gtest.h>

#include "codec/CodecTestSupport.h"

using namespace archtest;

namespace {

// Packs bits least significant first, as Deflate does.
class BitPacker {
 public:
  void Put(uint32_t v, int n) {
    for (int i = 0; i < n; ++i) {
      if (bit_ == 0) bytes.push_back(0);
      bytes.back() |= static_cast<uint8_t>(((v >> i) & 1) << bit_);
      bit_ = (bit_ + 1) & 7;
    }
  }
  // A Huffman code goes out most significant bit first.
  void PutCode(uint32_t code, int len) {
    for (int i = len - 1; i >= 0; --i) Put((code >> i) & 1, 1);
  }
  Bytes bytes;

 private:
  int bit_ = 0;
};

// Fixed-code symbols of RFC 1951 3.2.6.
void FixedLiteral(BitPacker& b, int sym) {
  if (sym < 144) b.PutCode(0x30 + sym, 8);
  else if (sym < 256) b.PutCode(0x190 + sym - 144, 9);
  else if (sym < 280) b.PutCode(sym - 256, 7);
  else b.PutCode(0xC0 + sym - 280, 8);
}

// A dynamic block: its code lengths given as code-length symbols (with their extra
// bits) under a complete code-length code of its own, then data codes (code, bits).
const std::pair<int, int> kPrecode[19] = {{0, 2}, {1, 2}, {4, 3}, {}, {}, {}, {}, {}, {}, {},
                                          {}, {}, {}, {}, {}, {}, {5, 3}, {6, 3}, {7, 3}};
Bytes Dynamic(int hlit, int hdist, const std::vector<std::pair<int, int>>& symbols,
              const std::vector<std::pair<int, int>>& data = {}) {
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  BitPacker b;
  b.Put(1, 1);
  b.Put(2, 2);
  b.Put(hlit - 257, 5);
  b.Put(hdist - 1, 5);
  b.Put(18 - 4, 4);
  for (int i = 0; i < 18; ++i) b.Put(kPrecode[order[i]].second, 3);
  for (auto [sym, extra] : symbols) {
    b.PutCode(kPrecode[sym].first, kPrecode[sym].second);
    if (sym == 16) b.Put(extra, 2);
    if (sym == 17) b.Put(extra, 3);
    if (sym == 18) b.Put(extra, 7);
  }
  for (auto [code, len] : data) b.PutCode(code, len);
  return b.bytes;
}

}  // namespace

TEST(Inflate, ZlibStreamsAtEveryLevelStrategyWindowAndFlush) {
  const Bytes text = SampleText(300000);
  const Bytes bin = SampleBinary(300000);
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (const Bytes* data : {&text, &bin}) {
    for (int level = 0; level <= 9; ++level) {
      for (int strategy : strategies) {
        for (int wbits : {9, 12, 15}) {
          Bytes stream = ZlibDeflate(*data, level, wbits, wbits == 9 ? 1 : 8, strategy);
          Bytes out;
          ASSERT_EQ(OurInflate(stream, &out), "ok") << level << " " << strategy << " " << wbits;
          ASSERT_EQ(out, *data) << level << " " << strategy << " " << wbits;
        }
      }
    }
    for (int flush : {Z_SYNC_FLUSH, Z_FULL_FLUSH, Z_PARTIAL_FLUSH}) {
      Bytes stream = ZlibDeflate(*data, 6, 15, 8, Z_DEFAULT_STRATEGY, 777, flush);
      Bytes out;
      ASSERT_EQ(OurInflate(stream, &out), "ok");
      EXPECT_EQ(out, *data);
    }
  }
}

TEST(Inflate, EmptyStoredFixedAndLongestDistance) {
  Bytes out;
  // A final stored block of 0 bytes, and a final fixed block with only end-of-block.
  EXPECT_EQ(OurInflate({0x01, 0x00, 0x00, 0xFF, 0xFF}, &out), "ok");
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(OurInflate({0x03, 0x00}, &out), "ok");
  EXPECT_TRUE(out.empty());

  // 32,768 literal bytes in a stored block, then a fixed block copying from distance 32,768.
  Bytes data(32768);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  BitPacker b;
  b.Put(0, 1);
  b.Put(0, 2);
  Bytes stream = b.bytes;
  stream.push_back(0x00);  // LEN 32768, NLEN
  stream.push_back(0x80);
  stream.push_back(0xFF);
  stream.push_back(0x7F);
  stream.insert(stream.end(), data.begin(), data.end());
  BitPacker f;
  f.Put(1, 1);
  f.Put(1, 2);
  FixedLiteral(f, 284);  // length 250: base 227 and 5 extra bits
  f.Put(250 - 227, 5);
  f.PutCode(29, 5);  // distance 32,768: base 24,577 and 13 extra bits
  f.Put(32768 - 24577, 13);
  FixedLiteral(f, 256);
  stream.insert(stream.end(), f.bytes.begin(), f.bytes.end());
  ASSERT_EQ(OurInflate(stream, &out), "ok");
  ASSERT_EQ(out.size(), 32768u + 250);
  EXPECT_TRUE(std::equal(out.begin() + 32768, out.end(), data.begin()));
  Bytes ref;
  ASSERT_TRUE(ZlibInflate(stream, &ref));
  EXPECT_EQ(ref, out);
}

TEST(Inflate, DynamicBlockWithoutDistanceCodesIsValid) {
  // 65 zeros, 'A' of length 1, 190 zeros, end-of-block of length 1, one distance length 0.
  Bytes stream = Dynamic(257, 1, {{18, 54}, {1, 0}, {18, 127}, {18, 41}, {1, 0}, {0, 0}}, {{0, 1}, {0, 1}, {1, 1}});
  Bytes out;
  ASSERT_EQ(OurInflate(stream, &out), "ok");
  EXPECT_EQ(ToString(out), "AA");
  Bytes ref;
  ASSERT_TRUE(ZlibInflate(stream, &ref));
  EXPECT_EQ(ref, out);
}

TEST(Inflate, EveryFormatErrorHasItsCode) {
  // Stored block whose NLEN disagrees with LEN in the low, then the high byte.
  EXPECT_EQ(OurInflate({0x01, 0x05, 0x00, 0xFB, 0xFF, 1, 2, 3, 4, 5}), "013");
  EXPECT_EQ(OurInflate({0x01, 0x05, 0x00, 0xFA, 0xFE, 1, 2, 3, 4, 5}), "014");
  EXPECT_EQ(OurInflate({0x07}), "015");  // block type 3
  // HLIT above 286, HDIST above 30.
  {
    BitPacker b;
    b.Put(1, 1), b.Put(2, 2), b.Put(30, 5), b.Put(0, 5), b.Put(0, 4);
    EXPECT_EQ(OurInflate(b.bytes), "041");
    BitPacker c;
    c.Put(1, 1), c.Put(2, 2), c.Put(0, 5), c.Put(30, 5), c.Put(0, 4);
    EXPECT_EQ(OurInflate(c.bytes), "041");
  }
  // A repeat code with no previous length; repeats that run past HLIT + HDIST.
  EXPECT_EQ(OurInflate(Dynamic(257, 1, {{16, 0}})), "027");
  EXPECT_EQ(OurInflate(Dynamic(257, 1, {{18, 127}, {18, 127}, {18, 10}})), "030");
  // Code-length code over-subscribed: three codes of length 1.
  {
    BitPacker b;
    b.Put(1, 1), b.Put(2, 2), b.Put(0, 5), b.Put(0, 5), b.Put(0, 4);
    b.Put(1, 3), b.Put(1, 3), b.Put(1, 3), b.Put(0, 3);
    EXPECT_EQ(OurInflate(b.bytes), "020");
  }
  // Literal/length lengths without the end-of-block code.
  EXPECT_EQ(OurInflate(Dynamic(257, 1, {{1, 0}, {1, 0}, {18, 127}, {18, 104}, {0, 0}, {0, 0}})), "058");
  // Fixed codes: length symbol 286, distance code 30, a distance beyond the output.
  {
    BitPacker b;
    b.Put(1, 1), b.Put(1, 2);
    FixedLiteral(b, 286);
    EXPECT_EQ(OurInflate(b.bytes), "036");
    BitPacker c;
    c.Put(1, 1), c.Put(1, 2);
    FixedLiteral(c, 'x');
    FixedLiteral(c, 257);
    c.PutCode(30, 5);
    EXPECT_EQ(OurInflate(c.bytes), "040");
    BitPacker d;
    d.Put(1, 1), d.Put(1, 2);
    FixedLiteral(d, 'x');
    FixedLiteral(d, 257);
    d.PutCode(1, 5);  // distance 2 after one byte
    FixedLiteral(d, 256);
    EXPECT_EQ(OurInflate(d.bytes), "042");
  }
  // A code that no length assigns: 'A' and end-of-block of length 2 leave 10 and 11 unused.
  EXPECT_EQ(OurInflate(Dynamic(257, 1, {{18, 54}, {2, 0}, {18, 127}, {18, 41}, {2, 0}, {0, 0}}, {{3, 2}})), "025");
  // Input that ends before the final block, and a stream cut in its middle.
  EXPECT_EQ(OurInflate({0x00, 0x00, 0x00, 0xFF, 0xFF}), "044");
  Bytes stream = ZlibDeflate(SampleText(20000), 6);
  stream.resize(stream.size() / 2);
  EXPECT_EQ(OurInflate(stream), "044");
}

TEST(Inflate, OutputBeyondTheLimitStopsEarly) {
  Bytes zeros(1 << 20, 0);
  Bytes stream = ZlibDeflate(zeros, 9);
  EXPECT_EQ(OurInflate(stream, nullptr, 1000), "050");
  // A lenient run over a cut stream hands over exactly what was decoded.
  Bytes text = SampleText(100000);
  Bytes full = ZlibDeflate(text, 6);
  Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(full.size() / 2));
  codec::CInflater inflater;
  codec::CVectorSink sink;
  codec::InflateResult r = inflater.Run(cut, sink, ~uint64_t{0}, true);
  EXPECT_FALSE(r.complete);
  ASSERT_GT(sink.bytes.size(), 1000u);
  EXPECT_TRUE(std::equal(sink.bytes.begin(), sink.bytes.end(), text.begin()));
}

// Members that zip -0 to -9 and 7z -mx1 to -mx9 deflated, read through the whole
// archive reader in CZipReader tests; here their raw streams are taken out by Python.
TEST(Inflate, StreamsOfZipAndSevenZip) {
  SKIP_WITHOUT_PROGRAM("zip");
  SKIP_WITHOUT_PROGRAM("python3");
  testenv::TempDir dir;
  const std::string src = dir.HostPath("src.bin");
  Bytes text = SampleText(200000);
  Bytes bin = SampleBinary(200000);
  Bytes data = text;
  data.insert(data.end(), bin.begin(), bin.end());
  testenv::WriteHostFile(src, ToString(data));
  std::vector<std::string> archives;
  for (int level = 0; level <= 9; ++level) {
    std::string a = dir.HostPath("z" + std::to_string(level) + ".zip");
    testenv::Shell("cd " + Q(dir.Host()) + " && zip -q -" + std::to_string(level) + " " + Q(a) + " src.bin");
    archives.push_back(a);
  }
  if (testenv::PeerProgram("7z")) {
    for (int mx : {1, 3, 5, 7, 9}) {
      std::string a = dir.HostPath("s" + std::to_string(mx) + ".zip");
      testenv::Shell("cd " + Q(dir.Host()) + " && 7z a -bd -tzip -mx" + std::to_string(mx) + " " + Q(a) + " src.bin >/dev/null");
      archives.push_back(a);
    }
  }
  for (const std::string& a : archives) {
    // The member's raw data, cut out by Python's zipfile offsets.
    std::string raw = testenv::Shell(
        "cd " + Q(dir.Host()) + " && python3 -c \"import zipfile,sys;z=zipfile.ZipFile(sys.argv[1]);i=z.infolist()[0];f=open(sys.argv[1],'rb');"
        "f.seek(i.header_offset+26);import struct;n,m=struct.unpack('<HH',f.read(4));f.seek(i.header_offset+30+n+m);"
        "sys.stdout.buffer.write(bytes([i.compress_type])+f.read(i.compress_size))\" " + Q(a));
    ASSERT_FALSE(raw.empty()) << a;
    Bytes stream(raw.begin() + 1, raw.end());
    Bytes out;
    if (raw[0] == 8) {
      ASSERT_EQ(OurInflate(stream, &out), "ok") << a;
    } else {
      out = stream;
    }
    EXPECT_EQ(out, data) << a;
  }
}
