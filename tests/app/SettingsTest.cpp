// Settings: the file written fresh, read back once, and refused values; the settings
// files rewritten whole on a full disk and over their old size, and a named pipe in
// their place, through the program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <optional>

#include "app/Settings.h"
#include "app/SystemStringsFile.h"
#include "platform/os/Files.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"

namespace {

class SettingsTest : public testenv::DocTest {};

TEST_F(SettingsTest, MissingFileIsWrittenWithDefaultsAndReadsBackTheSame) {
  doc_->ApplySettingsOnce(0);
  auto text = plat::ReadFileHead(doc_->m_strProgramDir + "\\Pelnor.inf", 100000);
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find("indata=0.5"), std::string::npos);
  CQelDoc other(doc_->m_strProgramDir, frame_.get());
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
  // A line end in a value would have become a line of Pelnor.inf of its own.
  EXPECT_EQ(ApplyTypedSetting(*doc_, "ftp2", "x\nindata=1024"), "ftp2: the value holds a control character");
  EXPECT_EQ(ApplySetting(*doc_, "soundfont", "a\rb"), "soundfont: the value holds a control character");
}

// A value given for the run (--set, a script's set) was saved into Pelnor.inf and
// Pelnor.sys by the next save of other keys; a control character in a value the
// dialog gave started a line of its own; a line written in UTF-8 was read as
// Shift-JIS without a word (BASE=ソフト sent "CWD /繧ｽ繝輔ヨ").
TEST_F(SettingsTest, SavedValuesAreTheLastingOnesAndLinesAreReadInTheirCode) {
  plat::MakeDirectories(doc_->m_strProgramDir);
  const std::string inf = doc_->m_strProgramDir + "\\Pelnor.inf";
  plat::WriteWholeFile(inf, "\xEF\xBB\xBF" "ftp1=R:~2x~/ftp://127.0.0.1;BASE=\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\r\n"
                            "indata=2\r\nprofnt=\x83\x53\x83\x56\x83\x62\x83\x4E\r\ntblfnt=\xFF\xFE\r\n");
  doc_->ApplySettingsOnce(0);
  EXPECT_EQ(doc_->m_astrSysValue[26], "R:~2x~/ftp://127.0.0.1;BASE=\x83\x5C\x83\x74\x83\x67");
  EXPECT_EQ(doc_->m_strProFont, "\x83\x53\x83\x56\x83\x62\x83\x4E");  // Shift-JIS, read as it is
  EXPECT_NE(messages_.str().find("line 1 is not Shift-JIS (CP932): it is read as UTF-8"), std::string::npos);
  EXPECT_NE(messages_.str().find("line 4 is not Shift-JIS (CP932) nor UTF-8, and is not read"), std::string::npos);
  ASSERT_EQ(ApplyTypedSetting(*doc_, "indata", "64"), "");
  ASSERT_EQ(ApplyTypedSetting(*doc_, "ftp2", "S:~2run~/ftp://127.0.0.1;PWRD=runpw"), "");
  doc_->m_astrSysKey[28] = "ftp3";  // a dialog's answer, with a line end
  doc_->m_astrSysValue[28] = "T:~2t~/ftp://127.0.0.1\nindata=1024";
  ASSERT_EQ(SaveSettings(*doc_, {"indata", "ftp2", "ftp3"}), "");
  const std::string saved = plat::ReadFileHead(inf, 100000).value_or("");
  EXPECT_NE(saved.find("indata=2\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("runpw"), std::string::npos) << saved;
  EXPECT_NE(saved.find("ftp3=T:~2t~/ftp://127.0.0.1 indata=1024\r\n"), std::string::npos) << saved;
  CQelDoc next(doc_->m_strProgramDir, frame_.get());
  next.ApplySettingsOnce(0);
  EXPECT_EQ(next.m_nInDataLimit, 2 << 20);
  EXPECT_EQ(next.m_astrSysValue[27], "");
  EXPECT_EQ(doc_->m_nInDataLimit, 64 << 20);  // this run keeps its own
}

}  // namespace

namespace {

// The system strings saved in Pelnor.sys come back at the next start; a key that
// Pelnor.inf carries takes the value written there.
TEST_F(SettingsTest, PelnorSysIsReadBeforePelnorInf) {
  CQelDoc saved(doc_->m_strProgramDir, frame_.get());
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

namespace {

// Settings files were rewritten in place: on a full disk the FTP settings cut
// Pelnor.inf mid-line (its later ftp, comment and colour lines gone), or cut
// Pelnor.sys (a site's password and the key code) while naming Pelnor.inf; and a
// Pelnor.inf over 1 MiB lost every line after its first MiB; with Pelnor.sys
// read-only or a link, Pelnor.inf took the new password before Pelnor.sys failed; a
// site given by --set was saved with the answered one. A failed write leaves both
// files as they were and names the one that failed; a successful one keeps every
// line of the user's and nothing given for the run alone.
TEST_F(SettingsTest, SettingsFileRewriteFault) {
  constexpr int64_t kRoom = 64 << 10;
  std::string comments;
  for (int i = 0; comments.size() < 200000; ++i) comments += "; the user's note " + std::to_string(100000 + i) + "\r\n";
  std::string huge = "indata=2\r\n";
  for (int i = 0; i < 30000; ++i) huge += "; comment line " + std::to_string(100000 + i) + " of the user's own settings\r\n";
  const std::string smallInf = "; my settings\r\nindata=2\r\nftp1=R:~2old~/ftp://old.example;USER=u;PWRD=oldpw\r\n";
  const std::string largeInf = smallInf + comments + "textcolor=1,2,3\r\n";
  // Pelnor.sys with a site's password and the key code, and one with long helper strings besides.
  doc_->m_astrSysKey[27] = "ftp2";
  doc_->m_astrSysValue[27] = "S:~2two~/ftp://two.example;USER=v;PWRD=twopw";
  doc_->m_astrSysValue[29] = "PWRDCODEabcd";
  const std::string smallSys = SystemStringsFileText(*doc_);
  for (size_t i = 30; i < 60; ++i) {
    doc_->m_astrSysKey[i] = "helper" + std::to_string(i);
    doc_->m_astrSysValue[i] = std::string(5000, static_cast<char>('a' + i % 26));
  }
  const std::string largeSys = SystemStringsFileText(*doc_);
  const std::string site = "R:~2new~/ftp://new.example;USER=u;PWRD=newpw";
  enum class Disk { Roomy, FileLimit, SmallTmpfs };
  enum class Sys { Plain, ReadOnly, Link };
  const struct {
    const char* what;
    Disk disk;
    const std::string& inf;
    const std::string& sys;
    const char* failed;  // the file named, nullptr when the write succeeds
    const char* why;
    Sys kept = Sys::Plain;  // how the user keeps Pelnor.sys
    const char* options = "";
  } cases[] = {
      {"Pelnor.sys made read-only", Disk::Roomy, smallInf, smallSys, "Pelnor.sys", "it is not a writable file", Sys::ReadOnly},
      {"Pelnor.sys a link", Disk::Roomy, smallInf, smallSys, "Pelnor.sys", "it is a symbolic link", Sys::Link},
      {"a site given by --set", Disk::Roomy, smallInf, smallSys, nullptr, "", Sys::Plain,
       "--set 'ftp2=S:~2run~/ftp://run.example;USER=v;PWRD=runpw' "},
      {"Pelnor.inf on a full disk", Disk::FileLimit, largeInf, smallSys, "Pelnor.inf", "File too large"},
      {"Pelnor.sys on a full disk", Disk::FileLimit, smallInf, largeSys, "Pelnor.sys", "File too large"},
      {"Pelnor.inf on a full tmpfs", Disk::SmallTmpfs, largeInf, smallSys, "Pelnor.inf", "No space left on device"},
      {"Pelnor.sys on a full tmpfs", Disk::SmallTmpfs, smallInf, largeSys, "Pelnor.sys", "No space left on device"},
      {"a Pelnor.inf of 1.4 MB", Disk::Roomy, huge, smallSys, nullptr, ""},
      {"a Pelnor.inf over 16 MB", Disk::Roomy, huge + std::string(17 << 20, ';') + "\r\n", smallSys, "Pelnor.inf",
       "it is larger than 16 MB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testenv::TempDir run;
    std::optional<testenv::SmallDisk> disk;
    if (c.disk == Disk::SmallTmpfs) {
      disk.emplace(run, "disk", 2 << 20);
      if (!disk->Mounted()) {
        std::cerr << "note: no tmpfs can be mounted here; the full disk is a file-size limit alone\n";
        continue;
      }
    }
    const std::string home = run.HostPath("disk/home");
    std::filesystem::create_directories(home);
    testenv::WriteHostFile(home + "/Pelnor.inf", c.inf);
    testenv::WriteHostFile(home + "/Pelnor.sys", c.sys);
    std::filesystem::permissions(home + "/Pelnor.inf", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::permissions(home + "/Pelnor.sys", c.kept == Sys::ReadOnly ? std::filesystem::perms::owner_read
                                                         : std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    if (c.kept == Sys::Link) {
      std::filesystem::rename(home + "/Pelnor.sys", run.HostPath("kept.sys"));
      std::filesystem::create_symlink(run.HostPath("kept.sys"), home + "/Pelnor.sys");
    }
    testenv::WriteHostFile(run.HostPath("s.script"), "answer ftp1=" + site + "\nlist-command ftp-settings\n");
    if (disk) disk->FillLeaving(kRoom);
    const testenv::ProgramRun ran = testenv::RunProgram(run.Host(), home, std::string(c.options) + "--script s.script",
                                                        c.disk == Disk::FileLimit ? testenv::FileSizeLimitPrefix(kRoom) : "");
    const int status = ran.status;
    const std::string& err = ran.err;
    const std::string inf = testenv::ReadHostFile(home + "/Pelnor.inf");
    EXPECT_EQ(status, c.failed ? 1 : 0) << err.substr(0, 2000);
    EXPECT_EQ(testenv::ReadHostFile(home + "/Pelnor.sys") == c.sys, c.failed != nullptr);
    if (c.failed) {
      EXPECT_NE(err.find("cannot write the settings file " + home + "/" + c.failed + ": " + c.why), std::string::npos) << err;
    } else {
      CQelDoc next(plat::FromHostPath(home), frame_.get());
      next.ApplySettingsOnce(0);
      EXPECT_EQ(next.m_astrSysValue[26], site);
      EXPECT_EQ(next.m_astrSysValue[29], "PWRDCODEabcd");
      EXPECT_EQ(next.m_astrSysValue[27], doc_->m_astrSysValue[27]);
    }
    // Pelnor.inf is as it was, or every line of the user's stays with the sites' lines new.
    std::string expected = c.inf;
    if (!c.failed) {
      const std::string line = "ftp1=" + site + "\r\n";
      const size_t at = expected.find("ftp1=");
      if (at == std::string::npos) {
        expected += line;
      } else {
        expected.replace(at, expected.find('\n', at) + 1 - at, line);
      }
      expected += "ftp2=" + doc_->m_astrSysValue[27] + "\r\nftp3=\r\n";
    }
    EXPECT_TRUE(inf == expected) << inf.size() << " bytes, " << expected.size() << " expected";
    for (const auto& entry : std::filesystem::directory_iterator(home)) {
      EXPECT_EQ(entry.path().filename().string().find(".part~"), std::string::npos) << entry.path();
    }
    EXPECT_EQ(plat::Stat(plat::FromHostPath(home + "/Pelnor.inf"))->permissions, 0600);
    if (c.disk == Disk::SmallTmpfs) testenv::Shell("umount " + testenv::Quote(run.HostPath("disk")));
  }
}

// A settings file that is a named pipe: one held open by a writer that never writes
// held every run at its start, one with no writer was passed over without a word,
// and a save read it before writing. Each run now goes on with the defaults and says
// why the file was not read; a save is refused; the pipe stays a pipe.
TEST_F(SettingsTest, SettingsFileThatIsANamedPipeFault) {
  const struct {
    const char* fault;
    const char* pipe;  // the settings file made a named pipe
    bool writer;       // held open by a writer that never writes
    const char* script;
    int status;
    const char* said;
  } cases[] = {
      {"Pelnor.inf a pipe held open hung every start", "Pelnor.inf", true, "print status\n", 0,
       "/Pelnor.inf: not a regular file (a pipe or a device is not read); the settings in it are not applied"},
      {"Pelnor.inf a pipe with no writer said nothing", "Pelnor.inf", false, "print status\n", 0,
       "/Pelnor.inf: not a regular file (a pipe or a device is not read); the settings in it are not applied"},
      {"Pelnor.sys a pipe held open hung every start", "Pelnor.sys", true, "print status\n", 0,
       "/Pelnor.sys: not a regular file (a pipe or a device is not read); the system strings in it are not applied"},
      {"a save read Pelnor.inf, a pipe held open", "Pelnor.inf", true,
       "answer ftp1=R:~2new~/ftp://new.example;USER=u;PWRD=pw\nlist-command ftp-settings\n", 1,
       "Pelnor.inf: it is not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    testenv::TempDir run;
    const std::string home = run.HostPath("home");
    std::filesystem::create_directories(home);
    const std::string pipe = home + "/" + c.pipe;
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int writer = c.writer ? open(pipe.c_str(), O_RDWR) : -1;
    testenv::WriteHostFile(run.HostPath("s.script"), c.script);
    const testenv::ProgramRun ran = testenv::RunProgram(run.Host(), home, "--script s.script", "timeout 60 ");
    if (writer >= 0) close(writer);
    EXPECT_EQ(ran.status, c.status) << ran.err;
    EXPECT_NE(ran.err.find(c.said), std::string::npos) << ran.err;
    EXPECT_TRUE(std::filesystem::is_fifo(pipe)) << "the pipe was replaced";
  }
}

}  // namespace
