// The site-string parser and the drive test, without a server.
#include <gtest/gtest.h>

#include "net/FtpSite.h"
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
    EXPECT_EQ(ParseFtpSiteSpec(c.site, 0), c.host);
    EXPECT_EQ(ParseFtpSiteSpec(c.site, 1), c.user);
    EXPECT_EQ(ParseFtpSiteSpec(c.site, 2), c.password);
    EXPECT_EQ(ParseFtpSiteSpec(c.site, 3), c.base);
    EXPECT_EQ(ParseFtpSiteSpec(c.site, 4), "");
    EXPECT_EQ(ParseFtpSiteSpec(c.site, -1), "");
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
  EXPECT_EQ(doc_->GetFtpDriveIndex("S:\\a.txt"), 0);  // site 3 is not tried
  EXPECT_EQ(doc_->GetFtpDriveIndex("C:\\a.txt"), 0);
  EXPECT_EQ(doc_->GetFtpDriveIndex(""), 0);
  EXPECT_EQ(doc_->GetFtpDriveIndex("R"), 0);
}

TEST_F(FtpDriveTest, ConnectWithoutSiteOrHostFails) {
  EXPECT_EQ(doc_->ConnectFtpSite("Q:\\a.txt"), -1);
  doc_->m_astrSysValue[26] = "R:~2x~/ftp://;USER=anna;PWRD=secret";
  EXPECT_EQ(doc_->ConnectFtpSite("R:\\a.txt"), -1);
  EXPECT_EQ(doc_->m_bFtpConnected, 0);
}

}  // namespace
