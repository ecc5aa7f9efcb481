// Every PngSuite file: the corrupted ones (x...) are refused, every other one loads
// and matches pngtopnm's reading (no gamma applied, 16-bit samples by their high
// byte; the sBIT files, which both peers rescale, only load). Alpha is
// composed over white with the loader's rule (alpha above 222 keeps the colour),
// so those files differ from pngtopnm -mix by up to 33 levels; the rule itself
// is checked exactly in PngTest.
#include <filesystem>

#include "image/ImageState.h"
#include "image/ImageTestSupport.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

class PngSuiteTest : public testenv::DocTest {};

TEST_F(PngSuiteTest, EveryFileMatchesPngtopnmOrIsRefused) {
  const std::string folder = testenv::SharedTestData("pngsuite/png");
  SKIP_WITHOUT_SHARED_DATA(folder);
  SKIP_WITHOUT_PROGRAM("pngtopnm");
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png") continue;
    SCOPED_TRACE(name);
    doc_->Image().m_nImageLoadState = 0;
    const int result = doc_->LoadImageFile(plat::FromHostPath(entry.path().string()), 0);
    if (name[0] == 'x') {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(doc_->Image().m_nImageAlloc, 0);
      continue;
    }
    ASSERT_EQ(result, 0);
    EXPECT_EQ(doc_->Image().m_bImageShort, 0) << "a whole file taken as cut short";
    const bool alpha = name.find("a08") != std::string::npos || name.find("a16") != std::string::npos ||
                       name.rfind("tb", 0) == 0 || name.rfind("tp1", 0) == 0 || name.rfind("tm3", 0) == 0;
    const int tolerance = alpha ? 33 : 0;
    // The loader shows palette entries over white by their alpha but keeps the
    // transparent key colour of grey and RGB images opaque.
    const bool flatten = alpha && name.rfind("tbb", 0) != 0 && name.rfind("tbg", 0) != 0 &&
                         name.rfind("tbr", 0) != 0 && name.rfind("tbw", 0) != 0 && name.rfind("tp1", 0) != 0;
    const std::string peer = std::string("pngtopnm ") + (flatten ? "-mix -background white " : "") +
                             testenv::Quote(entry.path().string());
    if (name.rfind("cs", 0) == 0) continue;
    EXPECT_LE(imagetest::MaxDiff(imagetest::DocImage(*doc_), imagetest::PeerPnm(peer)), tolerance);
    ++checked;
  }
  EXPECT_GT(checked, 140);
}

}  // namespace
