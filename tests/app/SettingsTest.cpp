// Settings: the file written fresh, read back once, and refused values.
#include <gtest/gtest.h>

#include "app/Settings.h"
#include "app/SystemStringsFile.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

class SettingsTest : public testenv::DocTest {};

TEST_F(SettingsTest, MissingFileIsWrittenWithDefaultsAndReadsBackTheSame) {
  doc_->ApplySettingsOnce(0);
  auto text = plat::ReadFileHead(doc_->m_strProgramDir + "\\Pelnor.inf", 100000);
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find("indata=0.5"), std::string::npos);
  CQelDoc other(doc_->m_strProgramDir);
  other.ApplySettingsOnce(0);
  EXPECT_EQ(other.m_nInDataLimit, 524288);
  EXPECT_EQ(other.m_nTableRows, doc_->m_nTableRows);
  EXPECT_EQ(other.m_clrTextBack, doc_->m_clrTextBack);
  EXPECT_EQ(messages_.str(), "");
}

TEST_F(SettingsTest, FileIsReadOnceAndBadLinesAreReported) {
  plat::MakeDirectories(doc_->m_strProgramDir);
  plat::WriteWholeFile(doc_->m_strProgramDir + "\\Pelnor.inf",
                       "; comment\r\nindata=0\r\nn_tbl=120\r\noutdata=2\r\ntextcolor=1,2,3\r\nbogus=1\r\nn_char=x\r\n");
  doc_->ApplySettingsOnce(0);
  EXPECT_EQ(doc_->m_nInDataLimit, 204800);  // a volume of 0 is the small volume
  EXPECT_EQ(doc_->m_nTableRows, 12000);
  EXPECT_EQ(doc_->m_nOutDataLimit, 2 * 1048576);
  EXPECT_EQ(doc_->m_clrTextChar, RGB(1, 2, 3));
  EXPECT_NE(messages_.str().find("line 6: unknown setting: bogus"), std::string::npos);
  EXPECT_NE(messages_.str().find("line 7: n_char needs"), std::string::npos);
  doc_->m_nTableRows = 1;
  doc_->ApplySettingsOnce(1);
  EXPECT_EQ(doc_->m_nTableRows, 1);  // not read again
  EXPECT_EQ(doc_->m_nListLayout, 3);  // mode 1 with a horizontal layout
}

TEST_F(SettingsTest, ValuesOutsideTheirRangeAreRefusedByName) {
  EXPECT_EQ(ApplySetting(*doc_, "readform", "4"), "readform needs a value from 0 to 3");
  EXPECT_EQ(ApplySetting(*doc_, "indata", "-1").rfind("indata needs a size in MB", 0), 0u);
  EXPECT_EQ(ApplySetting(*doc_, "textcolor", "1,2"), "textcolor needs red,green,blue, each from 0 to 255");
  EXPECT_EQ(ApplySetting(*doc_, "nosuch", "1"), "unknown setting: nosuch");
  EXPECT_EQ(ApplySetting(*doc_, "dispform", "1"), "dispform 1 (binary dump) is not shown on a terminal");
  EXPECT_EQ(ApplySetting(*doc_, "dispform", "2"), "");
  for (const char* odd : {"nan", "NaN", "inf", "-inf", "1e400", ""}) {
    EXPECT_EQ(ApplySetting(*doc_, "outdata", odd).rfind("outdata needs a size in MB", 0), 0u) << odd;
  }
  EXPECT_EQ(doc_->m_nOutDataLimit, 1048576);
  EXPECT_EQ(ApplySetting(*doc_, "indata", "1.5"), "");
  EXPECT_EQ(doc_->m_nInDataLimit, 1572864);
  EXPECT_EQ(SettingValue(*doc_, "indata"), "1.5");
}

}  // namespace

namespace {

// The system strings saved in Pelnor.sys come back at the next start; a key that
// Pelnor.inf carries takes the value written there.
TEST_F(SettingsTest, PelnorSysIsReadBeforePelnorInf) {
  CQelDoc saved(doc_->m_strProgramDir);
  saved.m_astrSysKey[29] = "PWRD";
  saved.m_astrSysValue[29] = "PWRDCODEabcd";
  saved.m_astrSysKey[25] = "dir@";
  saved.m_astrSysValue[25] = "http://127.0.0.1/old";
  plat::MakeDirectories(doc_->m_strProgramDir);
  ASSERT_TRUE(WriteSystemStringsFile(saved));
  plat::WriteWholeFile(doc_->m_strProgramDir + "\\Pelnor.inf", "dir@=http://127.0.0.1/new\r\n");
  doc_->ApplySettingsOnce(0);
  EXPECT_EQ(doc_->m_astrSysValue[29], "PWRDCODEabcd");
  EXPECT_EQ(doc_->m_astrSysValue[25], "http://127.0.0.1/new");
}

}  // namespace
