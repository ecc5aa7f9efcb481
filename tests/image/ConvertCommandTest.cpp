// pelnorix --convert OUT FILE and pelnorix PICTURE, end to end.
#include <gtest/gtest.h>

#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

TEST(ConvertCommandTest, ConvertsByTheTargetsExtensionAndShowsThePictureLine) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("qpdf");
  testenv::TempDir dir;
  const std::string run = "PELNORIX_HOME=" + Quote(dir.HostPath("home")) + " " + Quote(PELNORIX_BINARY) + " ";
  Shell("convert rose: " + Quote(dir.HostPath("rose.gif")));
  int status = -1;
  Shell(run + "--convert " + Quote(dir.HostPath("rose.pdf")) + " " + Quote(dir.HostPath("rose.gif")), &status);
  EXPECT_EQ(status, 0);
  Shell("qpdf --check " + Quote(dir.HostPath("rose.pdf")), &status);
  EXPECT_EQ(status, 0);

  Shell(run + "--convert " + Quote(dir.HostPath("rose.png")) + " " + Quote(dir.HostPath("rose.pdf")) + " 2>/dev/null",
        &status);
  EXPECT_EQ(status, 1);  // a PDF is no picture
  Shell(run + "--convert " + Quote(dir.HostPath("rose.xyz")) + " " + Quote(dir.HostPath("rose.gif")) + " 2>/dev/null",
        &status);
  EXPECT_EQ(status, 2);
  Shell(run + "--convert 2>/dev/null", &status);
  EXPECT_EQ(status, 2);

  Shell(run + "--convert " + Quote(dir.HostPath("rose.jpeg")) + " " + Quote(dir.HostPath("rose.gif")), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Shell(run + Quote(dir.HostPath("rose.jpeg")), &status), "Jpeg 3 color  70 x 46  24 bpp\n");
  EXPECT_EQ(status, 0);
}

}  // namespace

namespace {

TEST(ImageCommandsTest, SaveCommandAndListBatchConversionFromAScript) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("djpeg");
  testenv::TempDir dir;
  Shell("convert rose: " + Quote(dir.HostPath("rose.gif")) + " && convert rose: -colors 8 " + Quote(dir.HostPath("small.gif")));
  testenv::WriteHostFile(dir.HostPath("s.script"),
                         "open rose.gif\nanswer saved.jpg\ncommand ID_IMAGE_SAVE_JPEG_BEST_QUALITY\n"
                         "list 1 rose.gif\nselect rose.gif small.gif\nanswer bmz\nlist-command ID_LIST_BATCH_CONVERT\n");
  int status = -1;
  Shell("cd " + Quote(dir.Host()) + " && PELNORIX_HOME=home " + Quote(PELNORIX_BINARY) + " --script s.script 2>/dev/null",
        &status);
  EXPECT_EQ(status, 0);
  Shell("djpeg " + Quote(dir.HostPath("saved.jpg")) + " > /dev/null", &status);
  EXPECT_EQ(status, 0);
  for (const char* name : {"rose.bmz", "small.bmz"}) {
    Shell("unzip -t " + Quote(dir.HostPath(name)) + " > /dev/null", &status);
    EXPECT_EQ(status, 0) << name;
  }
}

}  // namespace
