// The small readers and scanners of PDF bytes, on the cases where their rules bite.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "convert/pdf/PdfImageTag.h"
#include "convert/pdf/PdfScan.h"
#include "convert/pdf/PdfTokenizer.h"
#include "convert/pdf/PdfValueReaders.h"

namespace {

ByteCursor View(const std::string& s) { return ByteCursor{reinterpret_cast<const uint8_t*>(s.data()), static_cast<int64_t>(s.size())}; }

TEST(PdfValueReaders, Numbers) {
  const struct {
    const char* text;
    int shortForm;
    int64_t hundredths, tenThousandths;
  } cases[] = {
      {"595.28 ", 59528, 59528, 5952800}, {"12 ", 1200, 1200, 120000},   {"-.5 ", -50, -50, -5000},
      {"12345 ", 1234000, 1234500, 123450000}, {"1.999 ", 199, 200, 19990}, {"0.004 ", 0, 0, 40},
      {"3. ", 300, 300, 30000},            {"1 ", 100, 100, 10000},         {"1.256 ", 125, 126, 12560},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string s = c.text;
    EXPECT_EQ(ParsePdfNumberShort(View(s), 0), c.shortForm);
    int64_t pos = 0;
    EXPECT_EQ(ParsePdfNumber(View(s), &pos, 0), c.hundredths);
    EXPECT_EQ(pos, static_cast<int64_t>(s.size()) - 1);
    pos = 0;
    EXPECT_EQ(ParsePdfNumber(View(s), &pos, 1), c.tenThousandths);
  }
  // A plus sign is no number: the value is 0 and the position stays on it.
  int64_t pos = 0;
  EXPECT_EQ(ParsePdfNumber(View("+5"), &pos, 0), 0);
  EXPECT_EQ(pos, 0);
}

TEST(PdfValueReaders, Ascii85) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"87cURD]j7BEbo7~>", "Hello world"},
      {"z~>", std::string(4, '\0')},
      // A run of z never writes past the room it is given.
      {std::string(1000, 'z') + "~>", std::string(64, '\0')},
      // "~>" ends the data: what follows is not decoded.
      {"87cURD]j7BEbo7~>87cURD]i", "Hello world"},
      {"<~87cURD]j7BEbo7~>", "Hello world"},
  };
  for (const auto& c : cases) {
    std::string out(64, 'x');
    const int n = DecodeAscii85(reinterpret_cast<const uint8_t*>(c.in.data()), static_cast<int64_t>(c.in.size()),
                                reinterpret_cast<uint8_t*>(out.data()), 64);
    EXPECT_EQ(out.substr(0, static_cast<size_t>(n)), c.out);
  }
  // Mostly foreign bytes: not ASCII85 at all.
  const std::string foreign = "{{{{{{{{{{{{abc";
  uint8_t out[16];
  EXPECT_EQ(DecodeAscii85(reinterpret_cast<const uint8_t*>(foreign.data()), static_cast<int64_t>(foreign.size()), out, 16), 0);
}

TEST(PdfValueReaders, ResourceCodes) {
  const struct {
    const char* name;
    int selector, code;
  } cases[] = {{"/F12 ", 3, 12013}, {"/Im3 ", 1, 4}, {"/R7 ", 1, 10008}, {"/TT2 ", 3, 13003}, {"/Fm0 ", 1, 11001},
               {"/Im3 ", 3, 10004}, {"/GS1 ", 1, 0}, {"/CS0 ", 1, 0}, {"/F1+ ", 3, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PdfPrefixes prefixes{};
    int64_t pos = 0;
    int kind = c.selector;
    EXPECT_EQ(PdfReadValue(View(c.name), &pos, &kind, 0, prefixes), c.code);
  }
  // A learned prefix keeps its slot: the same prefix gives the same kind, the number
  // after an underscore is read through it.
  PdfPrefixes prefixes{};
  int64_t pos = 0;
  int kind = 3;
  const int first = PdfReadValue(View("/T1_0 "), &pos, &kind, 0, prefixes);
  EXPECT_EQ(first, 9000 + 5 * 1000 + 11);
  pos = 0;
  kind = 3;
  EXPECT_EQ(PdfReadValue(View("/T1_1 "), &pos, &kind, 0, prefixes), first + 1);
}

TEST(PdfTokenizer, References) {
  const std::string s = "/Kids [4 0 R 5 0 R] /Parent 12 0 R /Count 12 /Neg -3 /Big 100000 <</A 1>> ";
  const ByteCursor b = View(s);
  int64_t cursor = 0;
  PdfTokenizer tok(b, cursor);
  EXPECT_EQ(tok.PdfNextToken(s.find("12 0 R"), 9), 12);
  EXPECT_EQ(cursor, static_cast<int64_t>(s.find("12 0 R") + 6));
  EXPECT_EQ(tok.PdfNextToken(s.find("2 0 R"), 9), 12);  // from the second digit
  EXPECT_EQ(tok.PdfNextToken(s.find("/Kids") + 5, 9), -9);
  EXPECT_EQ(tok.PdfNextToken(s.find("<<") - 1, 9), -99);
  EXPECT_EQ(cursor, static_cast<int64_t>(s.find("<<") + 2));
  EXPECT_EQ(tok.PdfNextToken(s.find("/Count"), 1), 12);
  EXPECT_EQ(tok.PdfNextToken(s.find("/Neg"), 1), -3);
  EXPECT_EQ(tok.PdfNextToken(s.find("/Big"), 1), -1);

  cursor = static_cast<int64_t>(s.find('['));
  std::vector<int> list;
  EXPECT_EQ(tok.PdfReadRefList(list), 4);
  EXPECT_EQ(list[0], 2);
  EXPECT_EQ(list[2], 5);

  // The array pushed: the walk goes to object 4, then 5, then past the ']'.
  std::vector<int64_t> offsets(kPdfMaxObjects, 0);
  offsets[4] = 400;
  offsets[5] = 500;
  PdfRefStack stack;
  cursor = static_cast<int64_t>(s.find('['));
  EXPECT_EQ(tok.PdfPushRefs(stack, offsets, 7, 1, kPdfMaxObjects), 2);
  EXPECT_EQ(cursor, 400);
  EXPECT_EQ(stack.positions[2], 500);
  EXPECT_EQ(stack.positions[1], static_cast<int64_t>(s.find(']') + 1));
  EXPECT_EQ(stack.keys[1], 7);
}

TEST(PdfTokenizer, FullStackKeepsTheFirstKids) {
  std::string s = "[";
  for (int i = 1; i <= 2500; ++i) s += std::to_string(i) + " 0 R ";
  s += "]";
  const ByteCursor b = View(s);
  int64_t cursor = 0;
  PdfTokenizer tok(b, cursor);
  std::vector<int64_t> offsets(kPdfMaxObjects, 0);
  for (int i = 1; i <= 2500; ++i) offsets[static_cast<size_t>(i)] = 1000 + i;
  PdfRefStack stack;
  stack.top = 0;
  tok.PdfPushRefs(stack, offsets, 1, 1, kPdfMaxObjects);
  EXPECT_EQ(cursor, 1001);  // the first kid is walked first
  EXPECT_EQ(stack.positions[static_cast<size_t>(stack.top)], 1002);
  EXPECT_EQ(stack.top, kPdfStackSize - 2);
}

TEST(PdfValueReaders, HexStrings) {
  const struct {
    const char* text;
    int64_t from;
    int value, oneByte;
    int64_t end;  // the position after the read
  } cases[] = {
      {"<41>", 0, 0x41, 1, 4},
      {"<0041>", 0, 0x41, 0, 6},
      {"<00410042>", 0, 0x41, 0, 6},  // five bytes after the first digit
      {"  \n<3042>", 0, 0x3042, 0, 9},
      {"<abc>", 0, 0xABC, 0, 5},  // three digits: after '>'
      {"<4>", 0, 0x40, 1, 3},     // a lone digit is the high half
      {"<0 0 4 1>", 0, 0x41, 0, 6},
      // The rest of a long string is passed over on the way to the next one.
      {"<00660069> <0042>", 6, 0x42, 0, 17},
      // No '<' within ten bytes, an empty string, a foreign byte, a keyword or a
      // bracket first, no '>' at all: nothing read, the position stays.
      {"          <41>", 0, -1, 0, 0},
      {"<>", 0, -1, 0, 0},
      {"<4x1>", 0, -1, 0, 0},
      {"endbfchar <41>", 0, -1, 0, 0},
      {"] <41>", 0, -1, 0, 0},
      {"<4142", 0, -1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string s = c.text;
    int64_t pos = c.from;
    int oneByte = 0;
    EXPECT_EQ(ParsePdfHexString(View(s), &pos, &oneByte), c.value);
    EXPECT_EQ(oneByte, c.oneByte);
    EXPECT_EQ(pos, c.value < 0 ? c.from : c.end);
  }
  int64_t pos = 0;
  EXPECT_EQ(ParsePdfHexString(View("<41>"), &pos, nullptr), 0x41);  // the flag is optional
}

TEST(PdfValueReaders, NumbersBeforeAnOperator) {
  const struct {
    const char* text;  // the operator is the last word
    int mode;
    std::vector<int64_t> numbers;
    int result;
  } cases[] = {
      {"BT 72 700.5 Td", 1, {720000, 7005000}, 0},
      {"1 0 0 1 72 -7.25 cm", 0, {100, 0, 0, 100, 7200, -725}, 0},
      {"/F1 12 Tf", 0, {1200}, 0},         // the font name's digit is no operand
      {"/F12\n9.5 Tf", 0, {950}, 0},
      {"12 Tf", 0, {1200}, 0},             // operands from the first byte on
      {"ET Q\n0 g\n", 0, {0}, 0},
      {"(abc) Tj", 0, {}, 0},              // no operands
      // More than ten: the first ten, and the byte that stopped the reading.
      {"q 1 2 3 4 5 6 7 8 9 10 11 12 x", 0, {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}, '1'},
      {"0 1 2 3 4 5 6 7 8 9 -10 x", 1, {0, 10000, 200, 300, 400, 500, 600, 700, 800, 900}, '-'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string s = c.text;
    size_t op = s.find_last_of(' ');
    while (op > 0 && static_cast<uint8_t>(s[op]) <= ' ') --op;
    std::array<int64_t, 10> out;
    out.fill(77);
    EXPECT_EQ(PdfReadNumberBackward(View(s), static_cast<int64_t>(op) + 1, out, c.mode), c.result);
    std::vector<int64_t> expected = c.numbers;
    expected.resize(10, 0);
    EXPECT_EQ(std::vector<int64_t>(out.begin(), out.end()), expected);
  }
  // Hostile runs: all digits, positions beyond the bytes.
  const std::string digits(5000, '9');
  std::array<int64_t, 10> out;
  PdfReadNumberBackward(View(digits), 4999, out, 0);
  EXPECT_EQ(PdfReadNumberBackward(View("1 2 Td"), 999, out, 0), 0);
  EXPECT_EQ(PdfReadNumberBackward(View(""), 0, out, 0), 0);
}

TEST(PdfTokenizer, BackwardReferences) {
  // Mode 8 walks a list of references from its end to its opening bracket.
  const std::string s = "/Kids [4 0 R 12 0 R\n0 0 R  ] ";
  const ByteCursor b = View(s);
  int64_t cursor = 0;
  PdfTokenizer tok(b, cursor);
  const int64_t close = static_cast<int64_t>(s.find(']'));
  EXPECT_EQ(tok.PdfNextToken(close - 1, 8), 0);  // object 0: found, the cursor moves
  EXPECT_EQ(cursor, static_cast<int64_t>(s.find("\n0")));
  EXPECT_EQ(tok.PdfNextToken(cursor, 8), 12);
  EXPECT_EQ(cursor, static_cast<int64_t>(s.find(" 12")));
  EXPECT_EQ(tok.PdfNextToken(cursor, 8), 4);
  EXPECT_EQ(cursor, static_cast<int64_t>(s.find('[')));
  const int64_t at = cursor;
  EXPECT_EQ(tok.PdfNextToken(cursor, 8), 0);  // the bracket: the end
  EXPECT_EQ(cursor, at);
  // Nothing within 50 bytes, and a data start right at a number.
  const std::string far = "9 0 R" + std::string(60, ' ');
  const ByteCursor farBytes = View(far);
  PdfTokenizer farTok(farBytes, cursor);
  cursor = 0;
  EXPECT_EQ(farTok.PdfNextToken(static_cast<int64_t>(far.size()) - 1, 8), 0);
  EXPECT_EQ(farTok.PdfNextToken(4, 8), 9);
  EXPECT_EQ(cursor, -1);
  EXPECT_EQ(farTok.PdfNextToken(cursor, 8), 0);  // before the first byte: nothing
}

TEST(PdfTokenizer, ObjectZeroInAListDoesNotEndIt) {
  // "0 0 R" is read as object 0 and passed over; the references before it are kept.
  const std::string s = "[4 0 R 5 0 R 0 0 R] ";
  int64_t cursor = 0;
  const ByteCursor b = View(s);
  PdfTokenizer tok(b, cursor);
  std::vector<int64_t> offsets(kPdfMaxObjects, 0);
  offsets[4] = 400;
  offsets[5] = 500;
  PdfRefStack stack;
  EXPECT_EQ(tok.PdfPushRefs(stack, offsets, 7, 1, kPdfMaxObjects), 2);
  EXPECT_EQ(cursor, 400);
  EXPECT_EQ(stack.positions[2], 500);
}

// Many arrays that open before one distant close (or none) read the 24,000-byte
// window after each of them: a megabyte of "/Kids [3 0 " took the walk past 10 s.
// The search now reads a stretch once; what it pushes, from any position in any
// order, is what a fresh tokenizer (searching from scratch) pushes.
TEST(PdfTokenizer, UnclosedArraysSearchedTheirWindowEachFault) {
  std::string s;
  for (int i = 0; i < 3000; ++i) s += i % 7 ? "/Kids [3 0 " : "<< /A 4 0 R ";
  s += "5 0 R] >> [4 0 R] << /B 3 0 R >>";
  for (int i = 0; i < 5000; ++i) s += "[3 0 R <";
  const ByteCursor b = View(s);
  std::vector<int64_t> offsets(kPdfMaxObjects, 0);
  offsets[3] = 300;
  offsets[4] = 400;
  offsets[5] = 500;
  std::vector<std::pair<int64_t, int>> starts;  // position and kind
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '[') starts.push_back({static_cast<int64_t>(i), 1});
    if (s[i] == '<') starts.push_back({static_cast<int64_t>(i), 0});
  }
  std::vector<std::pair<int64_t, int>> order = starts;
  order.insert(order.end(), starts.rbegin(), starts.rend());
  for (size_t i = 0; i < starts.size(); i += 97) order.push_back(starts[(i * 7919) % starts.size()]);
  int64_t cursor = 0;
  PdfTokenizer shared(b, cursor);
  for (const auto& [at, kind] : order) {
    int64_t freshCursor = at;
    PdfTokenizer fresh(b, freshCursor);
    PdfRefStack want, got;
    const int wantTop = fresh.PdfPushRefs(want, offsets, 9, kind, kPdfMaxObjects);
    cursor = at;
    ASSERT_EQ(shared.PdfPushRefs(got, offsets, 9, kind, kPdfMaxObjects), wantTop) << at;
    ASSERT_EQ(cursor, freshCursor) << at;
    ASSERT_EQ(got.top, want.top) << at;
    ASSERT_EQ(got.positions, want.positions) << at;
  }
}

// Many stream keywords before one distant end (or none) searched the rest of the
// file each: a megabyte of them took a minute. The finder remembers its last search;
// from any start in any order, and after the bytes change, it answers what a fresh
// search does.
TEST(PdfWordFinder, StreamKeywordsSearchedToTheEndEachFault) {
  std::string s;
  for (int i = 0; i < 400; ++i) s += i % 150 == 149 ? "endstream " : "stream ";
  s += "stream endstream";
  const ByteCursor whole = View(s);
  const ByteCursor cut(whole.Data(), whole.Size() - 1);  // the same bytes, the last end cut short
  std::vector<int64_t> starts;
  for (int64_t i = -2; i <= whole.Size() + 1; ++i) starts.push_back(i);
  std::vector<int64_t> order = starts;
  order.insert(order.end(), starts.rbegin(), starts.rend());
  for (size_t i = 0; i < starts.size(); ++i) order.push_back(starts[(i * 7919) % starts.size()]);
  PdfWordFinder finder("endstream");
  for (const ByteCursor* b : {&cut, &whole, &cut}) {
    for (const int64_t at : order) ASSERT_EQ(finder.Next(*b, at), PdfFind(*b, at, b->Size(), "endstream")) << at;
  }
}

TEST(PdfImageTag, Forms) {
  EXPECT_EQ(FormatPdfImageTag(12, 0, 0, 0, 2), "[Im12]JPG");
  EXPECT_EQ(FormatPdfImageTag(12, 0, 0, 1, 0), "[Image12]");
  EXPECT_EQ(FormatPdfImageTag(5, 1, 0, 0, 6), "[Img5]TIF");   // mirrored, half turn
  EXPECT_EQ(FormatPdfImageTag(5, 0, 90, 0, 7), "[Imb5]LZW");  // a page turned a quarter
  EXPECT_EQ(FormatPdfImageTag(5, 6, 270, 0, 9), "[Im5]JBIG2");
}

}  // namespace
