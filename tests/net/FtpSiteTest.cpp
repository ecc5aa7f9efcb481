// The site-string parser and the drive test, without a server.
#include <gtest/gtest.h>

#include "filelist/FlistView.h"
#include "net/FtpSite.h"
#include "net/NetCommands.h"
#include "net/NetState.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

struct SiteCase {
  const char* site;
  const char* host;
  const char* user;
  const char* password;
  const char* base;
};

const SiteCase kSites[] = {
    {"R:~2my site~/ftp://myhost/pub;BASE=docs;USER=anna;PWRD=s3cret", "myhost/pub", "anna", "s3cret", "docs"},
    {"R:~0x~/ftp://h;USER=bob", "h", "bob", "", ""},
    {"R:~1x~/FTP://h:2121;BASE=a/b;USER=u;PWRD=p;w", "h:2121", "u", "p;w", "a/b"},
    {"S:/ftp.example.org/dir", "ftp.example.org/dir", "", "", ""},
    {"T:\\host;BASE=pub", "host", "", "", ""},
    {"", "", "", "", ""},
};

TEST(FtpSiteTest, ParsesEachPart) {
  for (const auto& c : kSites) {
    SCOPED_TRACE(c.site);
    EXPECT_EQ(ParseFtpSiteSpec(c.site, SitePart::kHost), c.host);
    EXPECT_EQ(ParseFtpSiteSpec(c.site, SitePart::kUser), c.user);
    EXPECT_EQ(ParseFtpSiteSpec(c.site, SitePart::kPassword), c.password);
    EXPECT_EQ(ParseFtpSiteSpec(c.site, SitePart::kBase), c.base);
    EXPECT_EQ(ParseFtpSiteSpec(c.site, static_cast<SitePart>(4)), "");
    EXPECT_EQ(ParseFtpSiteSpec(c.site, static_cast<SitePart>(-1)), "");
  }
}

TEST(FtpSiteTest, WithoutPasswordCutsThePassword) {
  EXPECT_EQ(FtpSiteWithoutPassword("R:~2x~/ftp://h;USER=u;PWRD=pw"), "R:~2x~/ftp://h;USER=u");
  EXPECT_EQ(FtpSiteWithoutPassword("R:~2x~/ftp://h"), "R:~2x~/ftp://h");
}

class FtpDriveTest : public testenv::DocTest {};

TEST_F(FtpDriveTest, DriveIndexNeedsTwentyFourCharactersOfTheFirstMatchingSite) {
  doc_->m_astrSysValue[26] = "R:~2abcdefghij~/ftp://hos";  // 25 characters
  doc_->m_astrSysValue[27] = "S:~2x~/ftp://h;USER=abc";    // 23 characters
  doc_->m_astrSysValue[28] = "S:~2x~/ftp://hostname;USER=abc";
  EXPECT_EQ(doc_->GetFtpDriveIndex("R:\\a.txt"), 1);
  // Site 3 is not tried; the letter of a short site string or in the other case, and a
  // letter no site has, name no file.
  EXPECT_EQ(doc_->GetFtpDriveIndex("S:\\a.txt"), -1);
  EXPECT_EQ(doc_->GetFtpDriveIndex("r:\\a.txt"), -1);
  EXPECT_EQ(doc_->GetFtpDriveIndex("C:\\a.txt"), -1);
  EXPECT_EQ(doc_->GetFtpDriveIndex(".\\c:x"), 0);
  EXPECT_EQ(doc_->GetFtpDriveIndex(""), 0);
  EXPECT_EQ(doc_->GetFtpDriveIndex("R"), 0);
}

TEST_F(FtpDriveTest, ConnectWithoutSiteOrHostFails) {
  EXPECT_EQ(doc_->ConnectFtpSite("Q:\\a.txt"), -1);
  doc_->m_astrSysValue[26] = "R:~2x~/ftp://;USER=anna;PWRD=secret";
  EXPECT_EQ(doc_->ConnectFtpSite("R:\\a.txt"), -1);
  EXPECT_EQ(doc_->Net().m_bFtpConnected, 0);
}

// The dialog's sites last: they replace their lines of Pelnor.inf (and go to
// Pelnor.sys), the user's other lines stay, and a value set for this run alone does
// not become lasting.
TEST_F(FtpDriveTest, FtpSettingsAnswersAreSavedFault) {
  const std::string inf = dir_.HostPath("program/Pelnor.inf");
  testenv::WriteHostFile(inf, "; my settings\r\nftp1=R:~2old~/ftp://old.example\r\nindata=2\r\n");
  doc_->ApplySettingsOnce(0);
  doc_->m_nInDataLimit = 8 << 20;
  const std::string one = "R:~2new~/ftp://new.example;USER=u;PWRD=pw";
  const std::string two = "S:~2two~/ftp://two.example";
  frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"ftp1", one}, {"ftp2", two}}});
  CFlistView list(*doc_, 1);
  CommandContext cx{nullptr, &list, doc_.get(), frame_.get(), CommandTarget::FileList};
  ASSERT_EQ(RunCommand(CommandTables{FtpListCommands()}, 33512, cx), CommandOutcome::Done);
  const std::string text = testenv::ReadHostFile(inf);
  EXPECT_EQ(text.rfind("; my settings\r\nftp1=" + one + "\r\nindata=2\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("ftp2=" + two + "\r\n"), std::string::npos) << text;
  EXPECT_EQ(plat::Stat(doc_->m_strProgramDir + "\\Pelnor.inf")->permissions, 0600);
  EXPECT_EQ(plat::Stat(doc_->m_strProgramDir + "\\Pelnor.sys")->permissions, 0600);
  CQelDoc next(doc_->m_strProgramDir, frame_.get());
  next.ApplySettingsOnce(0);
  EXPECT_EQ(next.m_astrSysValue[26], one);
  EXPECT_EQ(next.m_astrSysValue[27], two);
  EXPECT_EQ(next.m_nInDataLimit, 2 << 20);
}

}  // namespace
