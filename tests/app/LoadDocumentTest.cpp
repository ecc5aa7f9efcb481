// The load road for text files and the string table.
#include <gtest/gtest.h>

#include "app/FileKind.h"
#include "app/StringTable.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

class LoadTest : public testenv::DocTest {};

TEST_F(LoadTest, ShiftJisTextIsShownAsItIs) {
  const std::string text = "\x95\x5C\x83\x5C\r\nline 2\r\n";
  EXPECT_EQ(doc_->LoadDocument(WriteFile("a.txt", text)), 0);
  EXPECT_EQ(Text(), text);
  EXPECT_EQ(doc_->m_nFileKind, kKindText);
  EXPECT_EQ(doc_->m_bPartialLoad, 0);
  EXPECT_EQ(doc_->m_nViewRequest, ViewRequest::kRedisplay);
}

// The display text is handed to the document without a copy: what is written into
// the conversion buffer afterwards (a message of a later picture road, the next
// load) must not reach the document text, and each load gets a buffer of its own.
TEST_F(LoadTest, DocumentTextStaysWhenTheConversionBufferIsWrittenAgain) {
  const std::string first = "first text\r\n";
  ASSERT_EQ(doc_->LoadDocument(WriteFile("a.txt", first)), 0);
  const char* text = doc_->m_pText;
  ASSERT_NE(text, nullptr);
  EXPECT_NE(doc_->m_pConvBuf, text);
  EXPECT_GT(doc_->m_nConvCap, static_cast<int>(first.size()));
  EXPECT_EQ(doc_->m_nTextCap, static_cast<int>(first.size()) + 1);
  doc_->m_nConvPos = 0;
  doc_->ConvAppend("overwritten");
  EXPECT_EQ(std::string(doc_->m_pText, static_cast<size_t>(doc_->m_nTextLen)), first);
  EXPECT_EQ(doc_->m_pText[doc_->m_nTextLen], '\0');
  const std::string second = "the second, longer text\r\n";
  ASSERT_EQ(doc_->LoadDocument(WriteFile("b.txt", second)), 0);
  EXPECT_EQ(Text(), second);
  EXPECT_EQ(doc_->m_pText[doc_->m_nTextLen], '\0');
}

TEST_F(LoadTest, EmptyAndMissingFiles) {
  EXPECT_EQ(doc_->LoadDocument(WriteFile("empty.txt", "")), 0);
  EXPECT_EQ(Text(), "");
  EXPECT_LT(doc_->LoadDocument(Win("missing.txt")), 0);
  EXPECT_EQ(Text(), LoadString(IDS_CANNOT_OPEN) + plat::ShownPath(Win("missing.txt")) + ": No such file or directory\r\n");
}

// The cut text ended mid-line without a word: it is followed by the truncation note
// (string 239 and the file-size-over message), as on the converters' roads.
TEST_F(LoadTest, LongTextIsCutToTheInputVolumeAndMarkedPartial) {
  doc_->m_nInDataLimit = 1000;
  doc_->LoadDocument(WriteFile("long.txt", std::string(5000, 'x')));
  EXPECT_EQ(Text().substr(0, 1001), std::string(1000, 'x') + LoadString(IDS_DATA_OMITTED).substr(0, 1));
  EXPECT_NE(Text().find(LoadString(IDS_DATA_OMITTED) + LoadString(IDS_FILE_SIZE_OVER).substr(0, 24)), std::string::npos);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), LoadString(IDS_SHOWN_IN_PART));
  // The next load starts clean.
  doc_->LoadDocument(WriteFile("short.txt", "ok"));
  EXPECT_EQ(doc_->m_bPartialLoad, 0);
}

TEST_F(LoadTest, ReadingFormsConvertToShiftJis) {
  doc_->m_nReadTextForm = 1;
  doc_->LoadDocument(WriteFile("u.txt", "\xEF\xBB\xBF\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80!"));
  EXPECT_EQ(Text(), "\x93\xFA\x96\x7B ?!");  // the BOM dropped; a four-byte character is one '?'
  doc_->m_nReadTextForm = 2;
  doc_->LoadDocument(WriteFile("e.txt", "\xC6\xFC\xCB\xDC\x8E\xB1"));
  EXPECT_EQ(Text(), "\x93\xFA\x96\x7B\xB1");
  doc_->m_nReadTextForm = 3;
  doc_->LoadDocument(WriteFile("j.txt", "a\x1B$BF|K\\\x1B(Bb"));
  EXPECT_EQ(Text(), "a\x93\xFA\x96\x7B" "b");
}

TEST_F(LoadTest, AllocationFailureIsReportedNotIgnored) {
  doc_->m_allocHook.FailAfter(0);
  EXPECT_LT(doc_->LoadDocument(WriteFile("a.txt", "abc")), 0);
  ASSERT_EQ(frame_->Ui().MessageLog().size(), 1u);
  EXPECT_EQ(frame_->Ui().MessageLog()[0].text, LoadString(IDS_OUT_OF_MEMORY) + " 050");
}

TEST_F(LoadTest, DisplayTextWritesStopAtTheBuffer) {
  ASSERT_TRUE(doc_->AllocateConvBuffer(8));
  EXPECT_EQ(doc_->ConvAppend("abcdef"), 6);
  EXPECT_EQ(doc_->ConvPrintf("%d", 12345), 1);  // one byte stays for the terminator
  EXPECT_EQ(std::string(doc_->m_pConvBuf), "abcdef1");
  doc_->m_nConvPos = 8;  // a position a converter moved past the end
  EXPECT_EQ(doc_->ConvAppend("x"), 0);
  EXPECT_EQ(doc_->ConvPrintf("x"), 0);
}

TEST(StringTable, EveryTextIsShiftJisAndKnownTextsAreExact) {
  for (int id : StringIds()) {
    EXPECT_TRUE(plat::Utf8ToCp932(StringUtf8(id)).has_value()) << "string " << id;
  }
  EXPECT_STREQ(StringUtf8(IDS_ABORT_QUESTION), "中止しますか？");
  EXPECT_STREQ(StringUtf8(IDS_CANNOT_OPEN), "ファイルをオープンできません。\r\n");
  EXPECT_STREQ(StringUtf8(IDS_DATA_OMITTED), "\r\n\r\n <以後データ省略>\r\n");
  constexpr int kNotInTable = 12345;
  EXPECT_EQ(LoadString(kNotInTable), "");
}

}  // namespace
