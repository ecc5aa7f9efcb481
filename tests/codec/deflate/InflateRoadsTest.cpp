// The fast loop of Inflate and its bounded one-symbol step decode the same: on zlib
// streams of every level, on the same streams cut at every length near their end and
// given every output limit near the data's size, and on corrupted streams, both
// roads give the same bytes, the same consumed count and the same error code.
#include <gtest/gtest.h>

#include <random>

#include "codec/CodecError.h"
#include "codec/CodecTestSupport.h"
#include "codec/deflate/Inflate.h"

using namespace archtest;

namespace {

struct Outcome {
  std::string code = "ok";
  Bytes out;
  size_t consumed = 0;
  bool complete = false;
  bool operator==(const Outcome&) const = default;
};

Outcome Decode(const Bytes& in, bool fast, uint64_t limit, bool lenient) {
  codec::CInflater inflater;
  inflater.UseFastLoop(fast);
  codec::CVectorSink sink;
  Outcome o;
  try {
    const codec::InflateResult r = inflater.Run(in, sink, limit, lenient);
    o.consumed = r.consumed;
    o.complete = r.complete;
  } catch (const codec::CodecError& e) {
    o.code = e.Code();
  }
  o.out = std::move(sink.bytes);
  return o;
}

void ExpectSameRoads(const Bytes& in, uint64_t limit, bool lenient, const std::string& what) {
  const Outcome fast = Decode(in, true, limit, lenient);
  const Outcome slow = Decode(in, false, limit, lenient);
  EXPECT_EQ(fast.code, slow.code) << what;
  EXPECT_EQ(fast.consumed, slow.consumed) << what;
  EXPECT_EQ(fast.complete, slow.complete) << what;
  EXPECT_TRUE(fast.out == slow.out) << what << ": " << fast.out.size() << " against " << slow.out.size();
}

// Text, bytes that barely compress, long runs and short-distance repeats in turn.
Bytes Mixed(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  const Bytes text = SampleText(size);
  Bytes out;
  while (out.size() < size) {
    const size_t n = 1 + rng() % 3000;
    switch (rng() % 4) {
      case 0: {
        const size_t at = rng() % text.size();
        out.insert(out.end(), text.begin() + at, text.begin() + std::min(text.size(), at + n));
        break;
      }
      case 1:
        for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(rng()));
        break;
      case 2:
        out.insert(out.end(), n, static_cast<uint8_t>(rng()));
        break;
      default: {
        const size_t period = 2 + rng() % 20;
        for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(i % period * 37));
      }
    }
  }
  out.resize(size);
  return out;
}

}  // namespace

TEST(InflateRoads, AgreeOnZlibStreamsAtEveryLevel) {
  for (int level = 0; level <= 9; ++level) {
    const Bytes data = Mixed(200000, static_cast<unsigned>(level));
    const Bytes stream = ZlibDeflate(data, level);
    const Outcome fast = Decode(stream, true, ~uint64_t{0}, false);
    ASSERT_EQ(fast.code, "ok") << level;
    EXPECT_TRUE(fast.out == data) << level;
    ExpectSameRoads(stream, ~uint64_t{0}, false, "level " + std::to_string(level));
  }
}

TEST(InflateRoads, AgreeWhereTheInputOrTheOutputEnds) {
  for (int level : {0, 1, 6, 9}) {
    const Bytes data = Mixed(20000, 100u + static_cast<unsigned>(level));
    const Bytes stream = ZlibDeflate(data, level);
    const std::string at = "level " + std::to_string(level) + " cut ";
    for (size_t cut = stream.size() > 64 ? stream.size() - 64 : 0; cut <= stream.size(); ++cut) {
      const Bytes part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
      ExpectSameRoads(part, ~uint64_t{0}, false, at + std::to_string(cut));
      ExpectSameRoads(part, ~uint64_t{0}, true, at + std::to_string(cut) + " lenient");
    }
    for (uint64_t limit = data.size() - 300; limit <= data.size() + 2; ++limit)
      ExpectSameRoads(stream, limit, false, "level " + std::to_string(level) + " limit " + std::to_string(limit));
  }
}

TEST(InflateRoads, AgreeOnCorruptedStreams) {
  std::mt19937 rng(2026);
  for (int level : {1, 6, 9}) {
    const Bytes stream = ZlibDeflate(Mixed(30000, 200u + static_cast<unsigned>(level)), level);
    for (int round = 0; round < 300; ++round) {
      Bytes bad = stream;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < flips; ++k) bad[rng() % bad.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
      ExpectSameRoads(bad, uint64_t{1} << 20, round % 2 == 1,
                      "level " + std::to_string(level) + " round " + std::to_string(round));
    }
  }
}

// gzip's own streams (header of ten bytes with -n, trailer of eight), long enough to
// cross the window's hand-over to the sink several times.
TEST(InflateRoads, AgreeOnGzipStreamsAtEveryLevel) {
  SKIP_WITHOUT_PROGRAM("gzip");
  testenv::TempDir dir;
  const Bytes data = Mixed(900000, 77);
  testenv::WriteHostFile(dir.HostPath("data"), std::string(data.begin(), data.end()));
  for (int level = 1; level <= 9; ++level) {
    const std::string gz = testenv::Shell("gzip -n -c -" + std::to_string(level) + " " + Q(dir.HostPath("data")));
    ASSERT_GT(gz.size(), 18u);
    const Bytes stream(gz.begin() + 10, gz.end() - 8);
    const Outcome fast = Decode(stream, true, ~uint64_t{0}, false);
    ASSERT_EQ(fast.code, "ok") << level;
    EXPECT_EQ(fast.consumed, stream.size()) << level;
    EXPECT_TRUE(fast.out == data) << level;
    ExpectSameRoads(stream, ~uint64_t{0}, false, "gzip -" + std::to_string(level));
    ExpectSameRoads(stream, data.size() - 1, false, "gzip -" + std::to_string(level) + " one byte short");
  }
}
