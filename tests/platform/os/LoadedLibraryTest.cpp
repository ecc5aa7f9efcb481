// The libraries opened on first use: a library or function that is missing gives
// the system's text instead of a crash. That the program links none of them is
// checked with the program (tests/cli), that each table loads with its library.
#include <gtest/gtest.h>

#include <string>

#include "platform/os/SharedLibrary.h"

namespace {

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
