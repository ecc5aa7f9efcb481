// The libraries opened on first use: the program links none of them, each table
// loads here, and a library or function that is missing gives the system's text
// instead of a crash.
#include <gtest/gtest.h>

#include <string>

#include "platform/mci/AlsaLibrary.h"
#include "platform/inet/CurlLibrary.h"
#include "platform/mci/FfmpegLibrary.h"
#include "platform/mci/FluidSynthLibrary.h"
#include "platform/os/SharedLibrary.h"
#include "platform/gdi/X11Library.h"
#include "support/TestEnv.h"

namespace {

TEST(LoadedLibrary, TheProgramLinksNoneOfThem) {
  int status = -1;
  const std::string needed = testenv::Shell("readelf -d " + std::string(PELNORIX_BINARY) + " | grep NEEDED", &status);
  ASSERT_EQ(status, 0);
  ASSERT_NE(needed.find("libc.so"), std::string::npos) << needed;
  for (const char* name : {"libavformat", "libavcodec", "libavutil", "libswresample", "libswscale", "libasound",
                           "libfluidsynth", "libX11", "libcurl"}) {
    EXPECT_EQ(needed.find(name), std::string::npos) << name << " is linked:\n" << needed;
  }
}

TEST(LoadedLibrary, EveryTableLoads) {
  EXPECT_NE(plat::Alsa(), nullptr);
  EXPECT_NE(plat::X11(), nullptr);
  EXPECT_NE(plat::Ffmpeg(), nullptr);
  EXPECT_NE(plat::FluidSynth(), nullptr);
  std::string why;
  EXPECT_NE(plat::Curl(&why), nullptr) << why;
  EXPECT_EQ(why, "");
}

TEST(LoadedLibrary, MissingLibraryGivesTheSystemsText) {
  plat::SharedLibrary so("libpelnorix-none.so.9");
  EXPECT_FALSE(so.IsOpen());
  int (*slot)() = nullptr;
  EXPECT_FALSE(so.Resolve("anything", slot));
  EXPECT_EQ(slot, nullptr);
  EXPECT_NE(so.Error().find("libpelnorix-none.so.9: cannot open shared object file"), std::string::npos) << so.Error();
}

TEST(LoadedLibrary, MissingFunctionGivesTheSystemsText) {
  plat::SharedLibrary so("libc.so.6");
  ASSERT_TRUE(so.IsOpen()) << so.Error();
  size_t (*length)(const char*) = nullptr;
  ASSERT_TRUE(so.Resolve("strlen", length));
  EXPECT_EQ(length("four"), 4u);
  int (*slot)() = nullptr;
  EXPECT_FALSE(so.Resolve("pelnorix_no_such_function", slot));
  EXPECT_EQ(slot, nullptr);
  EXPECT_NE(so.Error().find("undefined symbol: pelnorix_no_such_function"), std::string::npos) << so.Error();
}

}  // namespace
