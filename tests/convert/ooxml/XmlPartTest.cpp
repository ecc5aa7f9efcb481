// The part text helpers: UTF-8 to Shift-JIS, attribute search and token reading.
#include <string>

#include <gtest/gtest.h>

#include "convert/ooxml/XmlPart.h"
#include "platform/text/CodePage.h"

namespace {

std::string ToSjis(const std::string& bytes) {
  std::string out(bytes.size() + 1, '\0');
  out.resize(XmlBytesToSjis(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out.data()));
  return out;
}

TEST(XmlBytesToSjis, GoodAndBadUtf8) {
  const std::string a = "\x82\xA0";  // あ in Shift-JIS
  const struct {
    const char* name;
    std::string in, out;
  } cases[] = {
      {"kana", "<t>\xE3\x81\x82</t>", "<t>" + a + "</t>"},
      {"latin", "\xC3\xA9", "?"},  // é has no CP932 code
      {"four-byte sequence is one '?'", "<t>\xF0\x9F\x98\x80</t>", "<t>?</t>"},
      {"stray continuation bytes", "a\x80\xBF" "b", "a??b"},
      {"overlong slash", "\xC0\xAF/", "?/"},
      {"overlong three-byte", "\xE0\x80\xAF<", "?<"},
      {"surrogate", "\xED\xA0\x80x", "?x"},
      {"cut sequence keeps the markup", "\xE3\x81<w:t>", "?<w:t>"},
      {"lead at the end", "x\xE3", "x?"},
      {"byte-order mark", "\xEF\xBB\xBF<?xml?>", "<?xml?>"},
      {"NUL", std::string("a\0b", 3), "a?b"},
      {"beyond the code points", "\xF5\x80\x80\x80z", "?z"},
      {"Shift_JIS declaration passes bytes", "<?xml encoding=\"Shift_JIS\"?>\x82\xA0", "<?xml encoding=\"Shift_JIS\"?>" + a},
      {"UTF-8 declaration", "<?xml encoding=\"UTF-8\"?>\xE3\x81\x82", "<?xml encoding=\"UTF-8\"?>" + a},
  };
  // Also past the declaration's window, where ASCII is copied eight bytes at a time.
  const std::string lead(101, 'x');
  for (const auto& c : cases) {
    EXPECT_EQ(ToSjis(c.in), c.out) << c.name;
    if (c.in.find("encoding") == std::string::npos) {
      EXPECT_EQ(ToSjis(lead + c.in + lead), lead + c.out + lead) << c.name;
    }
  }
}

TEST(XmlFindInElement, NumbersAndWindows) {
  const struct {
    const char* text;
    const char* pattern;
    int mode, pos, result, newPos;
  } cases[] = {
      {"<a w=\"2in\"/>", "w=\"", 0, 0, 144, 0},
      {"<a w=\"-300\"/>", "w=\"", 0, 0, -300, 0},
      {"<a w=\"1.5in\"/>", "w=\"", 0, 0, 1, 0},
      {"<a w=\"99999999999\"/>", "w=\"", 0, 0, 2147483647, 0},          // saturates
      {"<a w=\"-9999999999in\"/>", "w=\"", 0, 0, -2147483647 - 1, 0},
      {"<a x=\"1\"><b w:w=\"5\"/>", "w:w=\"", 0, 3, 0, 3},                 // restricted: stops at the tag's '>'
      {"<a x=\"1\"><b w:w=\"5\"/>", "w:w=\"", 20, 3, 5, 3},                // unrestricted
      {"<c r=\"AB3\"/>", "r=\"", 1, 0, 28, 0},
      {"<c r=\"ABCDE\"/>", "r=\"", 1, 0, 19010, 0},                        // ABCD
      {"<a t=\"x\"/>", "t=\"", 7, 0, 1, 6},
      {"<a t=\"x\"/>", "t=\"", 8, 0, 1, 0},
      {"<a t=\"x\"/>", "t", 8, 0, 0, 0},                                 // pattern too short
      {"<a><b>x</b></a><c w=\"7\"/>", "w=\"", 10, 2, 7, 3},               // skips the tag, then searches
      {"ab", "b=", 0, -5, 0, 0},                                           // never before the start
  };
  for (const auto& c : cases) {
    int pos = c.pos;
    EXPECT_EQ(XmlFindInElement(c.pattern, c.text, &pos, c.mode), c.result) << c.text << " mode " << c.mode;
    EXPECT_EQ(pos, c.newPos) << c.text << " mode " << c.mode;
  }
}

TEST(XmlFindInElement, StopsAtThePartsEnd) {
  // An earlier, longer part left its tail in the buffer: the search must not see it.
  const std::string buffer = std::string("<a b=\"1\"/>") + '\0' + "<x w=\"9\"/>";
  int pos = 0;
  EXPECT_EQ(XmlFindInElement("w=\"", std::string_view(buffer.data(), 10), &pos, 20), 0);
  EXPECT_EQ(XmlFindInElement("w=\"", buffer, &pos, 20), 9);
}

TEST(XmlFindInElement, NumberFormatClasses) {
  const std::string nen = "\x94\x4E", tsuki = "\x8C\x8E", nichi = "\x93\xFA";
  const struct {
    std::string code;
    int result;
  } cases[] = {
      {"0.00%", 9003},        {"#,##0.00", 549003},   {"yyyy/m/d", 14000}, {"h:mm AM/PM", 560000},
      {"General", 0},         {"0", 0},               {"0.0", 549002},       {"&quot;$&quot;#,##0", 550000},
      {"mm:ss", 14000},      {"m/d/yy", 556000},     {"yyyy" + nen + "m" + tsuki + "d" + nichi, 31000},
      {"0.00E+00", 560003},
  };
  for (const auto& c : cases) {
    const std::string text = "<numFmt formatCode=\"" + c.code + "\"/>";
    int pos = 0;
    EXPECT_EQ(XmlFindInElement("formatCode=\"", text, &pos, 2), c.result) << c.code;
  }
}

TEST(XlsxParseToken, Tokens) {
  const struct {
    const char* text;
    int mode, result, newPos;
  } cases[] = {
      {"B12\"", 1, 2, 2}, {"\"123\" ", 0, 123, 5}, {"#,##0\"", 2, 0, 6}, {"#,0\"", 2, 1000, 4},
      {"0.00\"", 2, 1, 5}, {"12", 0, 12, 2},      {"x", 5, 0, 0},
  };
  for (const auto& c : cases) {
    int pos = 0;
    EXPECT_EQ(XlsxParseToken(c.text, &pos, c.mode), c.result) << c.text;
    EXPECT_EQ(pos, c.newPos) << c.text;
  }
}

}  // namespace
