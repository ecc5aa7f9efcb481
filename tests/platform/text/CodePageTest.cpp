// The CP932 tables against Python's cp932 codec (Microsoft's table), and the
// conversion semantics the callers rely on.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text/CodePage.h"
#include "support/TestFiles.h"

namespace {

// Where glibc's CP932 and Microsoft's differ: single bytes Microsoft decodes into
// C1 control and private-use characters, which glibc leaves unassigned.
const std::map<uint16_t, char16_t> kKnownDecodeDifferences = {
    {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3},
};

// Python's reading of every CP932 code: "code unicode" lines in hexadecimal.
std::map<uint16_t, char16_t> PythonDecodeTable() {
  const char* script =
      "import sys\n"
      "codes=[b for b in range(256) if not (0x81<=b<=0x9f or 0xe0<=b<=0xfc)]\n"
      "codes+=[l<<8|t for l in list(range(0x81,0xa0))+list(range(0xe0,0xfd)) for t in range(0x40,0xfd) if t!=0x7f]\n"
      "for c in codes:\n"
      "  b=bytes([c]) if c<256 else bytes([c>>8,c&255])\n"
      "  try: u=b.decode('cp932')\n"
      "  except UnicodeDecodeError: continue\n"
      "  if len(u)==1: print('%x %x'%(c,ord(u)))\n";
  std::istringstream lines(testenv::Shell("python3 -c " + testenv::Quote(script)));
  std::map<uint16_t, char16_t> table;
  unsigned code, uni;
  while (lines >> std::hex >> code >> uni) table[static_cast<uint16_t>(code)] = static_cast<char16_t>(uni);
  return table;
}

// A wide text converted one character at a time: each surrogate, or pair of them,
// as one '?'.
std::string CharByCharCp932(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t ch = text[i];
    if (ch >= 0xD800 && ch <= 0xDFFF) {
      if (ch <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
      out += '?';
      continue;
    }
    char one[2];
    out.append(one, static_cast<size_t>(plat::WideCharToCp932(ch, one)));
  }
  return out;
}

TEST(Codepage, DecodeAgreesWithMicrosoftTableExceptPinnedBytes) {
  SKIP_WITHOUT_PROGRAM("python3");
  auto python = PythonDecodeTable();
  ASSERT_GT(python.size(), 7800u);
  int compared = 0;
  for (const auto& [code, uni] : python) {
    auto known = kKnownDecodeDifferences.find(code);
    if (known != kKnownDecodeDifferences.end()) {
      EXPECT_EQ(plat::Cp932CodeToUnicode(code), 0xFFFF) << std::hex << code;
      continue;
    }
    EXPECT_EQ(plat::Cp932CodeToUnicode(code), uni) << "code " << std::hex << code;
    ++compared;
  }
  EXPECT_GT(compared, 7800);
}

TEST(Codepage, EncodeAgreesWithMicrosoftTableOnEveryCharacter) {
  SKIP_WITHOUT_PROGRAM("python3");
  const char* script =
      "for u in range(1,0x10000):\n"
      "  if 0xd800<=u<=0xdfff: continue\n"
      "  try: b=chr(u).encode('cp932')\n"
      "  except UnicodeEncodeError: continue\n"
      "  print('%x %x'%(u,int.from_bytes(b,'big')))\n";
  std::istringstream lines(testenv::Shell("python3 -c " + testenv::Quote(script)));
  unsigned uni, code;
  int compared = 0;
  int ibmPreferred = 0;
  while (lines >> std::hex >> uni >> code) {
    const auto ch = static_cast<char16_t>(uni);
    const uint16_t ours = plat::UnicodeToCp932Code(ch);
    if (uni == 0x80 || (uni >= 0xF8F0 && uni <= 0xF8F3)) {
      EXPECT_EQ(ours, 0) << "U+" << std::hex << uni;  // the pinned single bytes
    } else if ((code >> 8) == 0xED || (code >> 8) == 0xEE) {
      // The system's conversion writes IBM's codes (rows FA to FC) for the kanji that
      // also have NEC-selected codes; both decode to the same character.
      EXPECT_GE(ours >> 8, 0xFA) << "U+" << std::hex << uni;
      EXPECT_EQ(plat::Cp932CodeToUnicode(ours), ch) << "U+" << std::hex << uni;
      ++ibmPreferred;
    } else {
      EXPECT_EQ(ours, code) << "U+" << std::hex << uni;
      ++compared;
    }
  }
  EXPECT_GT(compared, 7000);
  EXPECT_EQ(ibmPreferred, 373);
  // One-way mappings of the system conversion that Microsoft's table lacks.
  EXPECT_EQ(plat::UnicodeToCp932Code(0x00A5), 0x5C);
  EXPECT_EQ(plat::UnicodeToCp932Code(0x203E), 0x7E);
  EXPECT_EQ(plat::UnicodeToCp932Code(0x2014), 0x815C);
}

TEST(Codepage, WideToCp932CountsAndTerminates) {
  const char16_t text[] = u"A\u65E5\u00E9";  // A, 日 (two bytes), é (not in CP932)
  char out[16] = {};
  // Up to and including the terminator: the 0 is converted and counted.
  EXPECT_EQ(plat::WideToCp932(text, -1, nullptr, 0), 5);
  EXPECT_EQ(plat::WideToCp932(text, -1, out, sizeof out), 5);
  EXPECT_EQ(std::string(out, 5), std::string("A\x93\xFA?\0", 5));
  // An explicit length converts exactly that many units, without a terminator.
  char counted[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(plat::WideToCp932(text, 2, counted, sizeof counted), 3);
  EXPECT_EQ(counted[3], 'x');
  // Too small: nothing is reported written.
  char small[2];
  EXPECT_EQ(plat::WideToCp932(text, 2, small, sizeof small), 0);
  // A surrogate pair is one character: one '?'.
  const char16_t emoji[] = u"\U0001F600!";
  EXPECT_EQ(plat::WideToCp932(emoji, 3, out, sizeof out), 2);
  EXPECT_EQ(std::string(out, 2), "?!");
}

// A counted conversion takes ASCII four units at a time: it must give what one
// character at a time (WideCharToCp932) gives, at every alignment of the runs,
// around NULs, surrogates and unmappable characters, and with a room that ends
// inside a run or before a two-byte character.
TEST(Codepage, WideToCp932CountedMatchesCharacterByCharacter) {
  const std::u16string texts[] = {
      u"apple river stone cloud",
      u"a\u65E5bcdefg\u6771\u4EAChijk lmnop",
      u"abc\u0000defgh\u0000\u0000ijkl",
      u"abcd\U0001F600efgh\xD800ijkl\xDC00mnop",
      u"\u00E9abcdefgh\u00E9ijklmnop\u007F\u0001\u0080",
      u"xyz",
  };
  for (const std::u16string& base : texts) {
    for (size_t skip = 0; skip < 4 && skip <= base.size(); ++skip) {
      const std::u16string text = base.substr(skip);
      const std::string expected = CharByCharCp932(text);
      const int length = static_cast<int>(text.size());
      char out[128];
      ASSERT_EQ(plat::WideToCp932(text.data(), length, out, sizeof out), static_cast<int>(expected.size()));
      EXPECT_EQ(std::string(out, expected.size()), expected);
      // Any smaller room holds nothing; the exact room holds it all.
      for (int room = 1; room < static_cast<int>(expected.size()); ++room) {
        EXPECT_EQ(plat::WideToCp932(text.data(), length, out, room), 0) << "room " << room;
      }
      EXPECT_EQ(plat::WideToCp932(text.data(), length, out, static_cast<int>(expected.size())),
                static_cast<int>(expected.size()));
    }
  }
}

// With room for two bytes a unit, each character stores two bytes and the next one
// overwrites a single byte's spare (eight ASCII units store eight bytes at once): on
// random mixes the result must be the character-by-character one, in a heap block of
// exactly that room (the sanitizer sees a store past it), with every byte after the
// result left as it was.
TEST(Codepage, WideToCp932WithRoomLeavesNothingPastTheResult) {
  const char16_t pool[] = {u'a', u' ', u'\u65E5', u'\u00E9', 0, 0xD83D, 0xDE00, 0xDC00, u'\uFF71', u'\u007F', u'\u20AC'};
  uint32_t seed = 7;
  for (int round = 0; round < 600; ++round) {
    seed = seed * 1103515245u + 12345u;
    const size_t length = 1 + (seed >> 16) % 80;
    // Runs of ASCII long enough for eight-unit steps, broken by the pool's others.
    std::u16string text;
    for (size_t i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      const uint32_t pick = (seed >> 16) % (3 * std::size(pool));
      text += pick < std::size(pool) ? pool[pick] : static_cast<char16_t>(u'!' + pick % 90);
    }
    const std::string expected = CharByCharCp932(text);
    const size_t room = 2 * text.size();
    auto out = std::make_unique<char[]>(room);
    std::memset(out.get(), 'Z', room);
    const int n = plat::WideToCp932(text.data(), static_cast<int>(text.size()), out.get(), static_cast<int>(room));
    ASSERT_EQ(n, static_cast<int>(expected.size())) << "round " << round;
    EXPECT_EQ(std::string(out.get(), expected.size()), expected) << "round " << round;
    EXPECT_EQ(std::string(out.get() + n, room - static_cast<size_t>(n)), std::string(room - static_cast<size_t>(n), 'Z'))
        << "round " << round;
  }
}

// The terminal conversion copies ASCII a word at a time and stores whole words:
// on random mixes of ASCII runs, double-byte characters, half-width kana, lone and
// cut lead bytes it must give what a character-by-character reading gives, inside
// a buffer of exactly three bytes a byte (a heap block, so that the sanitizer sees
// any store past it).
TEST(Codepage, Cp932ToUtf8IntoMatchesCharacterByCharacterWithinItsRoom) {
  auto utf8 = [](const std::u16string& wide) {
    std::string out;
    for (char16_t ch : wide) {
      if (ch < 0x80) {
        out += static_cast<char>(ch);
      } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | ch >> 6);
        out += static_cast<char>(0x80 | (ch & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | ch >> 12);
        out += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
      }
    }
    return out;
  };
  const std::string pieces[] = {"\x93\xFA", "\x96\x7B", "\xB1", "\x81", "\xFF", "\x80", "\xEA\xA4", "\x81\x20"};
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int parts = static_cast<int>(next() % 12);
    for (int k = 0; k < parts; ++k) {
      text.append(next() % 19, static_cast<char>('a' + next() % 26));
      text += pieces[next() % std::size(pieces)];
    }
    text.append(next() % 11, 'z');
    if (next() % 4 == 0) text += '\x93';  // a lead byte at the very end
    const std::string expected = utf8(plat::Cp932ToWide(text));
    const size_t room = std::max<size_t>(3 * text.size(), 1);
    std::vector<char> out(room);
    const size_t n = plat::Cp932ToUtf8Into(text, out.data());
    ASSERT_EQ(std::string(out.data(), n), expected) << round;
    EXPECT_EQ(plat::Cp932ToUtf8(text), expected) << round;
  }
}

TEST(Codepage, Utf8RoundTripRefusesWhatCp932CannotHold) {
  EXPECT_EQ(plat::Utf8ToCp932("\xE8\xA1\xA8\xE3\x82\xBD\xE8\x83\xBD"), std::string("\x95\x5C\x83\x5C\x94\x5C"));
  EXPECT_FALSE(plat::Utf8ToCp932("\xE2\x82\xAC").has_value());    // the euro sign
  EXPECT_FALSE(plat::Utf8ToCp932("\xC0\xAF").has_value());        // overlong '/'
  EXPECT_FALSE(plat::Utf8ToCp932("\xF0\x9F\x98\x80").has_value());  // outside the BMP
  // Bytes F5 to FF start no sequence, even when continuation bytes follow.
  EXPECT_FALSE(plat::Utf8ToCp932("\xF8\x80\x80").has_value());
  EXPECT_FALSE(plat::Utf8ToCp932("\xFE\x88\xA0").has_value());
  EXPECT_EQ(plat::Utf8ToCp932Lossy("\xF8\x80\x80"), "???");
  EXPECT_EQ(plat::Utf8ToCp932Lossy("a\xE2\x82\xAC" "b"), "a?b");
  EXPECT_EQ(plat::Cp932ToUtf8("\x95\x5C\x83\x5C"), "\xE8\xA1\xA8\xE3\x82\xBD");
  EXPECT_EQ(plat::Cp932ToUtf8("A\x81"), "A\xEF\xBF\xBD");  // a cut double-byte character
}

TEST(Codepage, JisToSjisCoversTheGridAndRefusesOutside) {
  EXPECT_EQ(plat::JisToSjis(0x2121), 0x8140u);
  EXPECT_EQ(plat::JisToSjis(0x3021), 0x889Fu);  // 亜
  EXPECT_EQ(plat::JisToSjis(0x7E7E), 0xEFFCu);
  EXPECT_EQ(plat::JisToSjis(0x2020), 0u);
  EXPECT_EQ(plat::JisToSjis(0x217F), 0u);
  EXPECT_EQ(plat::JisToSjis(0xB0A1), 0u);
}

}  // namespace
