// Files on an FTP pseudo-drive, against pyftpdlib on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "app/StringTable.h"
#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "filelist/FlistView.h"
#include "net/NetState.h"
#include "support/NetServers.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "platform/inet/Inet.h"
#include "platform/ui/Keys.h"
#include "support/TestEnv.h"

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  return all;
}

class FtpServerTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    root_ = dir_.HostPath("site");
    testenv::WriteHostFile(root_ + "/readme.txt", "hello root\n");
    testenv::WriteHostFile(root_ + "/pub/docs/readme.txt", "hello pub\n");
    testenv::WriteHostFile(root_ + "/pub/empty.txt", "");
    std::string big(100000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919 + i / 251) & 0xFF);
    testenv::WriteHostFile(root_ + "/pub/big.bin", big);
    START_OR_SKIP(server_.Start(root_, dir_.HostPath("ftp.log")), "pyftpdlib");
    doc_->Net().m_nNetTimeScale = 100;
    SetSite('2', "secret");
  }

  void SetSite(char flag, const std::string& password) {
    doc_->m_astrSysValue[26] = std::string("R:~") + flag + "local~/ftp://127.0.0.1:" + std::to_string(server_.Port()) +
                               ";BASE=pub;USER=anna;PWRD=" + password;
  }

  std::string Trace() const { return Joined(frame_->StatusBar().Trace()); }
  std::string WorkFile(const std::string& name) const { return doc_->TmpFolder() + "\\Pelnor_" + name; }
  int Logins() const {
    const std::string log = server_.Log();
    int n = 0;
    for (size_t at = log.find("logged in"); at != std::string::npos; at = log.find("logged in", at + 1)) ++n;
    return n;
  }

  std::string root_;
  nettest::FtpServer server_;
};

TEST_F(FtpServerTest, OpensAFileOnAPseudoDrive) {
  EXPECT_EQ(doc_->LoadDocument("R:\\docs\\readme.txt"), 0);
  EXPECT_EQ(Text(), "hello pub\n");
  const std::string trace = Trace();
  for (int id : {224, 225, 217}) EXPECT_NE(trace.find(LoadString(id)), std::string::npos) << id;
  EXPECT_EQ(doc_->Net().m_bFtpConnected, 1);
}

TEST_F(FtpServerTest, BigFileEqualsTheServersInBothModes) {
  for (char flag : {'0', '2'}) {
    SCOPED_TRACE(flag);
    doc_->CloseInternetSession();
    SetSite(flag, "secret");
    ASSERT_EQ(doc_->ConnectFtpSite("R:\\big.bin"), 0);
    const std::string local = doc_->FetchFtpFile("R:\\big.bin");
    ASSERT_EQ(local, WorkFile("big.bin"));
    int status = -1;
    testenv::Shell("cmp " + testenv::Quote(*plat::ToHostPath(local)) + " " + testenv::Quote(root_ + "/pub/big.bin"),
                   &status);
    EXPECT_EQ(status, 0);
    // 24 full blocks of 4,096 bytes and one short one.
    EXPECT_NE(Trace().find(plat::Utf8ToCp932Lossy("データを読込んでいます         100 KB")), std::string::npos);
  }
  const std::string log = server_.Log();
  EXPECT_NE(log.find("EPRT"), std::string::npos);
  EXPECT_NE(log.find("EPSV"), std::string::npos);
}

TEST_F(FtpServerTest, EmptyFileGivesNothingAndLeavesNoWorkFile) {
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\empty.txt"), 0);
  EXPECT_EQ(doc_->FetchFtpFile("R:\\empty.txt"), "");
  EXPECT_FALSE(plat::Exists(WorkFile("empty.txt")));
}

TEST_F(FtpServerTest, FailedFolderChangeDoesNotFetchTheRootsFile) {
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\missing\\readme.txt"), 0);
  EXPECT_EQ(doc_->FetchFtpFile("R:\\missing\\readme.txt"), "");
  EXPECT_FALSE(plat::Exists(WorkFile("readme.txt")));
  doc_->LoadDocument("R:\\missing\\readme.txt");
  EXPECT_EQ(Text().find("hello root"), std::string::npos);
}

TEST_F(FtpServerTest, MissingFileLeavesNoWorkFile) {
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\nothing.txt"), 0);
  testenv::WriteHostFile(*plat::ToHostPath(WorkFile("nothing.txt")), "old");
  EXPECT_EQ(doc_->FetchFtpFile("R:\\nothing.txt"), "");
  EXPECT_FALSE(plat::Exists(WorkFile("nothing.txt")));
}

// Active mode named a note of the library instead of the server's reason.
TEST_F(FtpServerTest, MissingFileReasonFault) {
  for (char flag : {'0', '2'}) {
    SCOPED_TRACE(flag);
    doc_->CloseInternetSession();
    SetSite(flag, "secret");
    ASSERT_EQ(doc_->ConnectFtpSite("R:\\nothing.txt"), 0);
    EXPECT_EQ(doc_->FetchFtpFile("R:\\nothing.txt"), "");
    ASSERT_FALSE(frame_->Ui().MessageLog().empty());
    EXPECT_NE(frame_->Ui().MessageLog().back().text.find(": 550 /pub/nothing.txt is not retrievable."), std::string::npos)
        << frame_->Ui().MessageLog().back().text;
  }
}

TEST_F(FtpServerTest, BadPasswordShowsCannotConnectAndNeverThePassword) {
  SetSite('2', "wrongpass1234");
  EXPECT_EQ(doc_->ConnectFtpSite("R:\\docs\\readme.txt"), -1);
  EXPECT_NE(Trace().find(LoadString(IDS_NET_CANNOT_CONNECT)), std::string::npos);
  EXPECT_EQ(doc_->Net().m_bFtpConnected, 0);
  EXPECT_FALSE(doc_->Net().m_pInetSession);
  EXPECT_EQ(messages_.str().find("wrongpass1234"), std::string::npos);
  EXPECT_EQ(Trace().find("wrongpass1234"), std::string::npos);
  ASSERT_FALSE(frame_->Ui().MessageLog().empty());
  EXPECT_EQ(frame_->Ui().MessageLog().back().text.find("wrongpass1234"), std::string::npos);
}

TEST_F(FtpServerTest, RefusedPortFailsAtConnect) {
  doc_->m_astrSysValue[26] = "R:~2local~/ftp://127.0.0.1:" + std::to_string(nettest::FreePort()) + ";USER=anna;PWRD=secret";
  EXPECT_EQ(doc_->ConnectFtpSite("R:\\a.txt"), -1);
  EXPECT_NE(Trace().find(LoadString(IDS_NET_CANNOT_CONNECT)), std::string::npos);
}

TEST_F(FtpServerTest, EscDuringADownloadRemovesTheWorkFile) {
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\big.bin"), 0);
  frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
  frame_->Ui().QueueAnswer(plat::IDYES);
  EXPECT_EQ(doc_->FetchFtpFile("R:\\big.bin"), "");
  EXPECT_FALSE(plat::Exists(WorkFile("big.bin")));
  EXPECT_EQ(doc_->m_bUserAbort, 1);
}

TEST_F(FtpServerTest, TwoOpensUseOneLogin) {
  EXPECT_EQ(doc_->LoadDocument("R:\\docs\\readme.txt"), 0);
  EXPECT_EQ(doc_->LoadDocument("R:\\big.bin"), 0);
  doc_->CloseInternetSession();
  EXPECT_EQ(Logins(), 1);
}

TEST_F(FtpServerTest, ResolvesPathsAndChangesFolder) {
  testenv::WriteHostFile(root_ + "/pub/a/b.txt", "b");
  testenv::WriteHostFile(root_ + "/pub/a/b/c.txt", "c");
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\a\\b.txt"), 0);
  std::string dir;
  EXPECT_EQ(doc_->ResolveFtpPath("R:\\a\\b.txt", 2), "b.txt");
  doc_->Net().m_pFtpConnection->GetCurrentDirectory(dir);
  EXPECT_EQ(dir, "/pub/a");
  EXPECT_EQ(doc_->ResolveFtpPath("R:\\a\\b.txt", 0), "/pub/a/b.txt");
  doc_->Net().m_pFtpConnection->GetCurrentDirectory(dir);
  EXPECT_EQ(dir, "/pub/a");
  EXPECT_EQ(doc_->ResolveFtpPath("R:\\a\\b", 0), "/pub/a/b");
  doc_->Net().m_pFtpConnection->GetCurrentDirectory(dir);
  EXPECT_EQ(dir, "/pub/a/b");
  EXPECT_EQ(doc_->ResolveFtpPath("R:\\nowhere", 1), "/pub/nowhere");
  doc_->Net().m_pFtpConnection->GetCurrentDirectory(dir);
  EXPECT_EQ(dir, "/");
}

TEST_F(FtpServerTest, ListsAFolderThroughMlsd) {
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\"), 0);
  CFtpFileFind find(*doc_->Net().m_pFtpConnection);
  ASSERT_TRUE(find.FindFile("/pub"));
  std::map<std::string, std::pair<bool, int64_t>> seen;
  for (bool more = true; more;) {
    more = find.FindNextFile();
    seen[find.GetFileName()] = {find.IsDirectory(), find.GetLength()};
  }
  EXPECT_EQ(seen["big.bin"], std::make_pair(false, int64_t{100000}));
  // Only the facts a listing reads are asked for: the server works out no others.
  EXPECT_NE(server_.Log().find("OPTS MLST type;size;"), std::string::npos) << server_.Log();
  EXPECT_EQ(seen["docs"].first, true);
  EXPECT_EQ(seen.count("empty.txt"), 1u);
}

TEST_F(FtpServerTest, ReadsFillTheRequestAndAreShortOnlyAtTheEnd) {
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\"), 0);
  auto file = doc_->Net().m_pFtpConnection->OpenFile("/pub/big.bin");
  std::vector<char> buf(30000);
  EXPECT_EQ(file->Read(buf.data(), 30000), 30000);
  EXPECT_EQ(file->Read(buf.data(), 30000), 30000);
  EXPECT_EQ(file->Read(buf.data(), 30000), 30000);
  EXPECT_EQ(file->Read(buf.data(), 30000), 10000);
  EXPECT_EQ(file->Read(buf.data(), 30000), 0);
  EXPECT_THROW(doc_->Net().m_pFtpConnection->OpenFile("/pub/none.bin"), CInternetException);
}

TEST_F(FtpServerTest, GetFileFailsIfTheLocalFileExists) {
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\"), 0);
  const std::string local = Win("copy.txt");
  EXPECT_TRUE(doc_->Net().m_pFtpConnection->GetFile("/pub/docs/readme.txt", local, true));
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("copy.txt")), "hello pub\n");
  EXPECT_FALSE(doc_->Net().m_pFtpConnection->GetFile("/pub/docs/readme.txt", local, true));
  EXPECT_FALSE(doc_->Net().m_pFtpConnection->GetFile("/pub/docs/none.txt", Win("none.txt"), false));
  EXPECT_FALSE(plat::Exists(Win("none.txt")));
}

TEST_F(FtpServerTest, CompressRefusesASourceOnAConnectedSite) {
  ASSERT_EQ(doc_->ConnectFtpSite("R:\\docs\\readme.txt"), 0);
  doc_->m_nActiveList = 1;
  doc_->m_strFileName1 = "R:\\docs\\readme.txt";
  EXPECT_FALSE(doc_->CompressToZip(CompressMode::kZip).ok());
  ASSERT_FALSE(frame_->Ui().MessageLog().empty());
  EXPECT_EQ(frame_->Ui().MessageLog().back().text, LoadString(IDS_NOT_ON_FTP_SITE));
  EXPECT_EQ(doc_->m_strFileName1, "R:\\docs\\readme.txt");
}

TEST_F(FtpServerTest, FileListShowsAPseudoDriveFolderAndOpensItsFile) {
  CFlistView list(*doc_, 1);
  ASSERT_EQ(list.ShowPath("R:\\docs\\readme.txt"), 0);
  EXPECT_EQ(list.Folder(), "R:\\docs");
  ASSERT_EQ(list.Entries().size(), 1u);
  EXPECT_EQ(Text(), "hello pub\n");
  ASSERT_EQ(list.ShowPath("R:\\big.bin"), 0);
  std::vector<std::string> names;
  for (const auto& e : list.Entries()) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"docs", "big.bin", "empty.txt"}));
  EXPECT_EQ(list.ShowPath("R:\\none\\x.txt"), -1);
}

}  // namespace
