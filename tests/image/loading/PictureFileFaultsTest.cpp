// The faults of the picture roads that lost a user's file or called a failure
// success, each driven as a user does (`--script`, `--convert`, the viewer) over
// pictures made by ImageMagick and compared with its own reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TestEnv.h"

namespace {

using testenv::Quote;

class PictureFileFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PROGRAM("convert");
    SKIP_WITHOUT_PROGRAM("compare");
  }
  // A shell command run inside a folder of the test (made when missing).
  std::string Sh(const std::string& folder, const std::string& command, int* status = nullptr) {
    return testenv::Shell("mkdir -p " + Quote(dir_.HostPath(folder)) + " && cd " + Quote(dir_.HostPath(folder)) +
                              " && " + command,
                          status);
  }
  // pelnorix with args inside the folder; standard output returned, standard error in err.txt.
  std::string Pelnorix(const std::string& folder, const std::string& args, int* status) {
    const testenv::ProgramRun run = testenv::RunProgram(dir_.HostPath(folder), dir_.HostPath("home"), args);
    *status = run.status;
    return run.out;
  }
  std::string Read(const std::string& folder, const std::string& name) {
    return testenv::ReadHostFile(dir_.HostPath(folder + "/" + name));
  }
  // ImageMagick's count of differing pixels: "0" when the pictures are equal.
  std::string Differ(const std::string& folder, const std::string& a, const std::string& b) {
    return Sh(folder, "compare -metric AE " + a + " " + b + " null: 2>&1");
  }
  bool Exists(const std::string& folder, const std::string& name) {
    int status = -1;
    Sh(folder, "test -e " + Quote(name), &status);
    return status == 0;
  }
  testenv::TempDir dir_;
};

// A BMP save to a name of another kind, or without an extension, writes NAME.bmp:
// it asked about the name typed (or nothing), so the user's holiday.bmp and bb.bmp
// were replaced unasked and a Yes about photo.tif replaced photo.bmp. The question
// is about the name written; the file the user never confirmed stays as it was.
TEST_F(PictureFileFaults, BmpSaveUnderForeignOrMissingExtensionAsksAboutTheNameWritten) {
  struct Case {
    const char* typed;
    const char* command;
    bool yes;  // the question is answered Yes; else the script's safe reply (Cancel)
    const char* written;
    int status;
  };
  const Case cases[] = {
      {"holiday", "ID_IMAGE_SAVE_AS", false, "holiday.bmp", 1},
      {"holiday", "ID_IMAGE_SAVE_AS", true, "holiday.bmp", 0},
      {"bb.gif", "ID_IMAGE_SAVE_BMP", false, "bb.bmp", 1},
      {"photo.tif", "ID_IMAGE_SAVE_AS", true, "photo.bmp", 0},
      {"fresh.gif", "ID_IMAGE_SAVE_BMP", false, "fresh.bmp", 0},  // nothing there: nothing to ask
  };
  const std::vector<std::string> userFiles = {"holiday.bmp", "bb.gif", "bb.bmp", "photo.tif", "photo.bmp"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string f = "save" + std::to_string(i);
    Sh(f, "convert rose: BMP3:pic.bmp && convert -size 8x8 xc:green BMP3:holiday.bmp && convert -size 8x8 xc:blue bb.gif"
          " && convert -size 8x8 xc:red BMP3:bb.bmp && convert -size 8x8 xc:navy photo.tif"
          " && convert -size 8x8 xc:gray BMP3:photo.bmp");
    std::vector<std::string> before;
    for (const std::string& name : userFiles) before.push_back(Read(f, name));
    testenv::WriteHostFile(dir_.HostPath(f + "/s.script"), std::string("open pic.bmp\nanswer path=") + c.typed + "\n" +
                                                               (c.yes ? "answer ok\n" : "") + "command " + c.command +
                                                               "\n");
    int status = -1;
    Pelnorix(f, "--script s.script", &status);
    const std::string err = Read(f, "err.txt");
    EXPECT_EQ(status, c.status) << c.typed << ": " << err;
    for (size_t k = 0; k < userFiles.size(); ++k) {
      if (userFiles[k] == c.written && c.status == 0) {
        EXPECT_EQ(Differ(f, c.written, "pic.bmp"), "0") << c.typed;
      } else {
        EXPECT_TRUE(Read(f, userFiles[k]) == before[k]) << c.typed << ": " << userFiles[k] << " replaced unconfirmed";
      }
    }
    const bool existed = std::find(userFiles.begin(), userFiles.end(), c.written) != userFiles.end();
    EXPECT_EQ(err.find(std::string(c.written) + " は既に存在します") != std::string::npos, existed) << c.typed << ": " << err;
    EXPECT_EQ(err.find(std::string(c.typed) + " は既に存在します"), std::string::npos) << c.typed << ": " << err;
    if (!existed) {
      EXPECT_EQ(Differ(f, c.written, "pic.bmp"), "0") << c.typed;
    }
    if (std::find(userFiles.begin(), userFiles.end(), c.typed) == userFiles.end()) {
      EXPECT_FALSE(Exists(f, c.typed));
    }
  }
}

// --convert of a picture whose data ends before its last row said success and
// replaced the target with a mostly black picture; a 118-byte BMP whose header
// declares 65535 x 65535 pixels was taken too. ImageMagick refuses them; each
// reader now marks such a picture short, and --convert and the list's batch
// conversion refuse it with the system's message, the target left as it was.
TEST_F(PictureFileFaults, ConversionOfATruncatedPictureRefusesAndKeepsTheTarget) {
  SKIP_WITHOUT_PROGRAM("zip");
  const std::string f = "cut";
  Sh(f, "convert -size 97x61 gradient:orange-navy -type TrueColor BMP3:g.bmp && convert g.bmp -quality 90 g.jpg"
        " && convert g.bmp g.gif && convert g.bmp g.png && convert rose: keep.png");
  struct Case {
    const char* name;
    const char* make;
  };
  const Case cases[] = {
      {"cut.bmp", "head -c 100 g.bmp > cut.bmp"},
      {"head.jpg", "head -c 300 g.jpg > head.jpg"},
      {"half.jpg", "head -c $(( $(stat -c %s g.jpg) / 2 )) g.jpg > half.jpg"},
      {"half.gif", "head -c $(( $(stat -c %s g.gif) / 2 )) g.gif > half.gif"},
      {"half.png", "head -c $(( $(stat -c %s g.png) / 2 )) g.png > half.png"},
      // 4 bits, 16 colours, 65535 x 65535 pixels declared, no rows.
      {"huge.bmp",
       "printf 'BMv\\0\\0\\0\\0\\0\\0\\0v\\0\\0\\0(\\0\\0\\0\\377\\377\\0\\0\\377\\377\\0\\0\\1\\0\\4\\0' > huge.bmp"
       " && head -c 88 /dev/zero >> huge.bmp"},
      {"cut.bmz", "head -c 2000 g.bmp > Pelnor1.bmp && zip -q cut.bmz Pelnor1.bmp && rm Pelnor1.bmp"},
  };
  const std::string keep = Read(f, "keep.png");
  for (const Case& c : cases) {
    Sh(f, c.make);
    int status = -1;
    Sh(f, "convert -regard-warnings " + std::string(c.name) + " peer.png 2>/dev/null", &status);
    if (std::string(c.name) != "cut.bmz") {
      EXPECT_NE(status, 0) << "ImageMagick reads " << c.name;
    }
    Sh(f, "rm -f peer.png");
    Pelnorix(f, "--set bmpdata=1024 --convert keep.png " + std::string(c.name), &status);
    const std::string err = Read(f, "err.txt");
    EXPECT_EQ(status, 1) << c.name << ": " << err;
    EXPECT_TRUE(Read(f, "keep.png") == keep) << c.name << ": the target was replaced";
    EXPECT_NE(err.find("画像ファイルが壊れているか"), std::string::npos) << c.name << ": " << err;
  }
  // The viewer shows what the file holds and says it is cut short; the whole
  // picture still converts.
  int status = -1;
  EXPECT_NE(Pelnorix(f, "cut.bmp", &status).find("97 x 61"), std::string::npos);
  EXPECT_EQ(status, 0);
  EXPECT_NE(Read(f, "err.txt").find("ends before its last row"), std::string::npos) << Read(f, "err.txt");
  Pelnorix(f, "--convert whole.png g.jpg", &status);
  EXPECT_EQ(status, 0) << Read(f, "err.txt");

  // The list's batch conversion names the file, writes nothing for it (the user's
  // cut.png, whose replacement was confirmed, stays) and goes on with the others.
  Sh(f, "convert -size 4x4 xc:pink cut.png");
  const std::string userPng = Read(f, "cut.png");
  testenv::WriteHostFile(dir_.HostPath(f + "/s.script"),
                         "list 1 cut.bmp\nselect cut.bmp g.bmp\nanswer png\nanswer ok\nlist-command convert\n");
  Pelnorix(f, "--script s.script", &status);
  const std::string err = Read(f, "err.txt");
  EXPECT_EQ(status, 1) << err;
  EXPECT_NE(err.find("cut.bmp\r\n画像ファイルが壊れているか"), std::string::npos) << err;
  EXPECT_TRUE(Read(f, "cut.png") == userPng) << "the user's cut.png was replaced";
  EXPECT_EQ(Differ(f, "g.png", "g.bmp"), "0");
}

// A BMP over the picture volume ("bmpfile") was cut silently: --convert and the
// batch conversion wrote the cut picture with exit 0, the viewer printed the cut
// size without a word. Every road says "ファイル容量オーバーです" and names the
// setting; the conversions refuse the cut picture until the volume is raised.
// A valid 16384 x 16384 grey PNG (768 MB at 24 bits) was refused as damaged even
// with bmpdata=1024, a picture shown cut at bmpdata said nothing, and a --convert
// that must widen a picture past the largest block said only "could not be
// written": a picture over a limit says which, and the setting that raises it.
TEST_F(PictureFileFaults, PictureOverAVolumeSaysWhichAndTheSettingThatRaisesIt) {
  SKIP_WITHOUT_PROGRAM("pngcheck");
  const std::string f = "big";
  // 600 x 600 at 24 bits: 1,080,054 bytes, over a volume of 1 MB (582 rows fit).
  Sh(f, "convert -size 600x600 gradient:red-blue -type TrueColor BMP3:big.bmp");
  // Grey PNGs larger than ImageMagick's policy allows, made with zlib and checked by pngcheck.
  testenv::WriteHostFile(dir_.HostPath(f + "/make.py"), R"(import struct, zlib
def png(name, side, depth):
    chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
    rows = (b'\0' + b'\x55' * (side * depth // 8)) * side
    head = struct.pack('>IIBBBBB', side, side, depth, 0, 0, 0, 0)
    data = chunk(b'IHDR', head) + chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b'')
    open(name, 'wb').write(b'\x89PNG\r\n\x1a\n' + data)
png('g16k.png', 16384, 8)
png('g20k.png', 20000, 8)
png('bw32k.png', 32768, 1)
png('g8k.png', 8000, 8)
)");
  Sh(f, "python3 make.py");
  ASSERT_NE(Sh(f, "pngcheck g16k.png g20k.png bw32k.png g8k.png").find("No errors were detected in 4 of the 4 files"),
            std::string::npos);
  testenv::WriteHostFile(dir_.HostPath(f + "/open.script"), "open big.bmp\nexpect status \"H(582)Over!\"\n");
  testenv::WriteHostFile(dir_.HostPath(f + "/batch.script"),
                         "list 1 big.bmp\nselect big.bmp\nanswer png\nlist-command convert\n");
  struct Case {
    const char* args;
    int status;
    const char* out;      // in standard output
    const char* err;      // in standard error, with the message
    const char* unsaid;   // not in standard error
    const char* written;  // the file written (equal to big.bmp when a PNG), else nullptr
    long peakMiB;         // the most resident memory the run may take; 0: not measured
  };
  const char* kOver = "ファイル容量オーバーです";
  const char* kBroken = "画像ファイルが壊れているか";
  const Case cases[] = {
      {"--set bmpfile=1 --convert big.png big.bmp", 1, "", "--set bmpfile=MB", kBroken, nullptr, 0},
      {"--set bmpfile=1 big.bmp", 0, "600 x 582", "--set bmpfile=MB", kBroken, nullptr, 0},
      {"--set bmpfile=1 --script open.script", 0, "", "bmpfile=1:", kBroken, nullptr, 0},
      {"--set bmpfile=1 --script batch.script", 1, "", "big.bmp\r\nファイル容量オーバーです(>1MB)", kBroken, nullptr, 0},
      {"--set bmpfile=2 --convert big.png big.bmp", 0, "", "", kOver, "big.png", 0},
      {"--set bmpdata=1 big.bmp", 0, "600 x 600",
       "big.bmp : the picture's rows take 1.02997 MB, more than the picture memory volume (bmpdata=1 MB): the rows "
       "past it are not shown; --set bmpdata=MB",
       kOver, nullptr, 0},
      {"--set bmpdata=1024 g16k.png", 0, "16384 x 16384  24 bpp", "", kBroken, nullptr, 0},
      // An 8000 x 8000 PNG (192 MB at 24 bits) was inflated whole and made a whole DIB
      // (256 MB) whatever bmpdata said: the rows past the volume are inflated through.
      {"--set bmpdata=1 g8k.png", 0, "8000 x 8000",
       "g8k.png : the picture's rows take 183.105 MB, more than the picture memory volume (bmpdata=1 MB)", kBroken,
       nullptr, 100},
      {"--set bmpdata=1024 g20k.png", 1, "",
       "the picture's rows would take 1144.41 MB, more than the largest picture held (1024 MB, the most bmpdata "
       "allows); no setting raises it",
       kBroken, nullptr, 0},
      {"--convert out.jpg bw32k.png", 1, "",
       "out.jpg\n作成できません  (32768 x 32768 pixels take 3072 MB at 24 bits, more than the largest picture held "
       "(1024 MB))",
       kBroken, nullptr, 0},
      {"--convert out.bmp bw32k.png", 0, "", "", kBroken, "out.bmp", 0},
  };
  for (const Case& c : cases) {
    Sh(f, "rm -f big.png out.*");
    int status = -1;
    const std::string peak = "ASAN_OPTIONS=\"$ASAN_OPTIONS:quarantine_size_mb=0\" /usr/bin/time -f %M -o peak.txt ";
    const testenv::ProgramRun run =
        testenv::RunProgram(dir_.HostPath(f), dir_.HostPath("home"), c.args, c.peakMiB ? peak : "");
    status = run.status;
    const std::string& out = run.out;
    const std::string err = Read(f, "err.txt");
    if (c.peakMiB) {
      EXPECT_LT(std::stol(Read(f, "peak.txt")), c.peakMiB * 1024) << c.args << ": peak resident KiB";
    }
    EXPECT_EQ(status, c.status) << c.args << ": " << err;
    EXPECT_NE(out.find(c.out), std::string::npos) << c.args << ": " << out;
    EXPECT_NE(err.find(c.err), std::string::npos) << c.args << ": " << err;
    EXPECT_EQ(err.find(c.unsaid), std::string::npos) << c.args << ": " << err;
    EXPECT_EQ(Sh(f, "ls big.png out.* 2>/dev/null | tr -d '\\n'"), c.written ? c.written : "") << c.args;
    if (c.written && std::string(c.written) == "big.png") {
      EXPECT_EQ(Differ(f, "big.png", "big.bmp"), "0");
    }
  }
  // The 1-bit picture kept its depth as a BMP: width, height, planes and bits.
  EXPECT_EQ(Sh(f, "od -An -tu4 -j18 -N8 out.bmp | tr -s ' '; od -An -tu2 -j26 -N4 out.bmp | tr -s ' '"),
            " 32768 32768\n 1 1\n");
}

}  // namespace
