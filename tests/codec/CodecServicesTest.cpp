// The codec as other subsystems see it: the bounded memory sink, a zlib stream made
// piece by piece and Flate into a caller's buffer (checked against zlib), and ZIP
// images read and packed (checked against zip and unzip).
#include <gtest/gtest.h>

#include "codec/ByteSink.h"
#include "codec/CodecServices.h"
#include "codec/CodecTestSupport.h"

using namespace archtest;

namespace {

bool StartsWith(const Bytes& whole, const Bytes& part) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

}  // namespace

// Both storages keep exactly the first `limit` bytes, whatever the pieces, and count
// every byte; the caller's buffer is never written past the limit.
TEST(BoundedSink, KeepsThePrefixUpToItsLimitAndCountsTheRest) {
  const Bytes data = SampleText(5000);
  const struct {
    uint64_t limit;
    size_t piece;
  } kCases[] = {{0, 7}, {1, 1}, {100, 7}, {4999, 1000}, {5000, 5000}, {5000, 333}, {9000, 64}};
  for (const auto& c : kCases) {
    Bytes fixed(static_cast<size_t>(c.limit) + 16, 0xEE);
    Bytes grown;
    codec::CBoundedSink intoBuffer(fixed.data(), c.limit);
    codec::CBoundedSink intoVector(grown, c.limit);
    for (size_t at = 0; at < data.size(); at += c.piece) {
      const size_t n = std::min(c.piece, data.size() - at);
      intoBuffer.Put(data.data() + at, n);
      intoVector.Put(data.data() + at, n);
    }
    const size_t kept = static_cast<size_t>(std::min<uint64_t>(c.limit, data.size()));
    SCOPED_TRACE(c.limit);
    EXPECT_EQ(intoBuffer.Kept(), kept);
    EXPECT_EQ(intoVector.Kept(), kept);
    EXPECT_EQ(intoBuffer.Total(), data.size());
    EXPECT_EQ(intoBuffer.Overflowed(), c.limit < data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(kept), fixed.begin()));
    EXPECT_TRUE(std::all_of(fixed.begin() + static_cast<std::ptrdiff_t>(kept), fixed.end(), [](uint8_t b) { return b == 0xEE; }));
    EXPECT_EQ(grown, Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(kept)));
  }
}

// A zlib stream passed on while it is made (the PNG writer's IDAT chunks) is the
// stream made whole, and zlib reads it back with its Adler-32 checked.
TEST(ZlibWriter, StreamTakenAsItIsMadeIsTheWholeStream) {
  for (const Bytes& data : {Bytes{}, SampleText(300000), SampleBinary(300000)}) {
    SCOPED_TRACE(data.size());
    Bytes whole;
    ZlibAppend(data, whole);
    CZlibWriter writer(data.size());
    Bytes taken;
    const auto take = [&] {
      const std::span<const uint8_t> ready = writer.Ready();
      taken.insert(taken.end(), ready.begin(), ready.end());
      writer.Release();
    };
    for (size_t at = 0; at < data.size(); at += 4099) {
      writer.Write(data.data() + at, std::min<size_t>(4099, data.size() - at));
      take();
    }
    writer.Finish();
    take();
    EXPECT_EQ(taken, whole);
    Bytes back(data.size() + 1);
    uLongf length = back.size();
    ASSERT_EQ(uncompress(back.data(), &length, taken.data(), taken.size()), Z_OK);
    back.resize(length);
    EXPECT_EQ(back, data);
  }
}

// One inflater over many streams: fixed, dynamic and stored blocks one after another,
// a room too small, a stream cut short and bytes that are no stream.
TEST(BufferInflater, StreamsAfterOneAnotherAgreeWithZlib) {
  const Bytes text = SampleText(120000);
  const Bytes bin = SampleBinary(120000);
  CBufferInflater inflater;
  Bytes out(300000);
  const struct {
    const Bytes* data;
    int level, strategy;
  } kStreams[] = {{&text, 6, Z_FIXED}, {&bin, 9, Z_DEFAULT_STRATEGY}, {&text, 0, Z_DEFAULT_STRATEGY},
                  {&bin, 1, Z_FIXED},  {&text, 6, Z_HUFFMAN_ONLY},     {&text, 6, Z_FIXED}};
  for (const auto& s : kStreams) {
    const Bytes stream = ZlibDeflate(*s.data, s.level, 15, 8, s.strategy);
    const int64_t n = inflater.Run(stream.data(), static_cast<int64_t>(stream.size()), out.data(), static_cast<int64_t>(out.size()));
    ASSERT_EQ(n, static_cast<int64_t>(s.data->size())) << s.level << " " << s.strategy;
    EXPECT_TRUE(StartsWith(out, *s.data));
  }
  const Bytes stream = ZlibDeflate(text, 6);
  std::fill(out.begin(), out.end(), 0);
  EXPECT_EQ(inflater.Run(stream.data(), static_cast<int64_t>(stream.size()), out.data(), 1000), -3);
  EXPECT_TRUE(StartsWith(Bytes(out.begin(), out.begin() + 1000), Bytes(text.begin(), text.begin() + 1000)));
  EXPECT_EQ(out[1000], 0);

  const int64_t cut = inflater.Run(stream.data(), static_cast<int64_t>(stream.size() / 2), out.data(), static_cast<int64_t>(out.size()));
  ASSERT_GT(cut, 1000);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + cut, text.begin()));

  const Bytes junk = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(inflater.Run(junk.data(), 4, out.data(), 100), -1);
  EXPECT_EQ(inflater.Run(stream.data(), 0, out.data(), 100), -1);
}

TEST(ZipImage, MembersOfZipAreListedAndUnpackedWithinTheLimit) {
  SKIP_WITHOUT_PROGRAM("zip");
  testenv::TempDir dir;
  const Bytes text = SampleText(40000), bin = SampleBinary(30000);
  testenv::WriteHostFile(dir.HostPath("a.txt"), ToString(text));
  testenv::WriteHostFile(dir.HostPath("b.bin"), ToString(bin));
  testenv::Shell("cd " + Q(dir.Host()) + " && zip -q -9 x.zip a.txt b.bin");
  const Bytes archive = ToBytes(testenv::ReadHostFile(dir.HostPath("x.zip")));

  const auto members = ListZipImage(archive);
  ASSERT_TRUE(members.has_value());
  ASSERT_EQ(members->size(), 2u);
  EXPECT_EQ((*members)[0].name, "a.txt");
  EXPECT_EQ((*members)[1].name, "b.bin");
  EXPECT_EQ((*members)[0].declaredSize, text.size());
  EXPECT_EQ((*members)[1].declaredSize, bin.size());
  EXPECT_EQ(UnpackZipImageMember(archive, 1, 1 << 20), bin);
  EXPECT_EQ(UnpackZipImageMember(archive, 0, 777), Bytes(text.begin(), text.begin() + 777));
  EXPECT_TRUE(UnpackZipImageMember(archive, 2, 1 << 20).empty());

  const auto junk = ListZipImage(Bytes{'P', 'K', 1, 2, 3});
  EXPECT_TRUE(!junk || junk->empty());

  // A member whose CRC does not match keeps what was unpacked before the check.
  Bytes bad = archive;
  for (size_t at = 0; at + 20 < bad.size(); ++at) {
    if (bad[at] == 'P' && bad[at + 1] == 'K' && bad[at + 2] == 1 && bad[at + 3] == 2) {
      bad[at + 16] ^= 0x55;
      break;
    }
  }
  bad[14] ^= 0x55;
  EXPECT_EQ(UnpackZipImageMember(bad, 0, 1 << 20), text);
}

TEST(ZipImage, PackedArchiveIsReadByUnzip) {
  SKIP_WITHOUT_PROGRAM("unzip");
  testenv::TempDir dir;
  const Bytes data = SampleBinary(70000);
  Bytes archive;
  ASSERT_TRUE(PackZipImage("Pelnor1.bmp", data, 0x20, archive));
  testenv::WriteHostFile(dir.HostPath("p.zip"), ToString(archive));
  int status = -1;
  const std::string back = testenv::Shell("unzip -p " + Q(dir.HostPath("p.zip")) + " Pelnor1.bmp", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(back, ToString(data));
  EXPECT_EQ(UnpackZipImageMember(archive, 0, 1 << 20), data);
}
