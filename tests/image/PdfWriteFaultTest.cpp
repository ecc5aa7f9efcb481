// The single-image PDF's write through every road that makes one from a picture,
// on a full disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "image/ScriptPictureTest.h"

namespace {

class PdfWriteFault : public imagetest::ScriptPictureTest {};

// The picture saves did not look at whether the PDF was written: on a full disk
// ID_IMAGE_SAVE_AS and ID_IMAGE_SAVE_PDF to a .pdf name wrote nothing and exited 0
// (--convert found out only by comparing the target's time and size). Each fails
// now: exit 1, the system's message naming the file, the user's file as it was.
TEST_F(PdfWriteFault, FullDiskPdfWriteCalledSuccess) {
  Sh("convert -size 300x200 xc: +noise Random -type TrueColor BMP3:p.bmp");
  // The JPEG a PDF wraps is the standard one of the picture: the file-size limit lets
  // it through and stops the PDF, which is that JPEG and a thousand bytes more.
  Run("open p.bmp\nanswer path=shown.jpg\ncommand ID_IMAGE_SAVE_AS\n");
  testenv::RunProgram(dir_.Host(), dir_.HostPath("home"), "--convert converted.jpg p.bmp");
  const int64_t limit = static_cast<int64_t>(std::max(std::filesystem::file_size(dir_.HostPath("shown.jpg")),
                                                      std::filesystem::file_size(dir_.HostPath("converted.jpg")))) +
                        256;
  MakeFullDisk({{"keep.pdf", "the user's keep.pdf"}});
  const struct {
    const char* road;
    const char* script;  // nullptr: --convert
  } roads[] = {
      {"--convert", nullptr},
      {"ID_IMAGE_SAVE_AS", "open p.bmp\nanswer path=disk/keep.pdf\nanswer ok\ncommand ID_IMAGE_SAVE_AS\n"},
      {"ID_IMAGE_SAVE_PDF", "open p.bmp\nanswer path=disk/keep.pdf\nanswer ok\ncommand ID_IMAGE_SAVE_PDF\n"},
  };
  for (const auto& r : roads) {
    SCOPED_TRACE(r.road);
    int status = -1;
    if (r.script) {
      RunOnFullDisk(r.script, &status, limit);
    } else {
      status = testenv::RunProgram(dir_.Host(), dir_.HostPath("home"), "--convert disk/keep.pdf p.bmp",
                                   disk_->Prefix(limit))
                   .status;
    }
    EXPECT_EQ(status, 1) << Err();
    EXPECT_NE(Err().find("keep.pdf \nはディスクの空き容量が足りないため書き込めません。"), std::string::npos) << Err();
    EXPECT_EQ(testenv::ReadHostFile(disk_->HostPath("keep.pdf")), "the user's keep.pdf");
    EXPECT_EQ(Sh("ls -a disk | grep -c 'part~' | tr -d '\\n'"), "0");
  }
}

}  // namespace
