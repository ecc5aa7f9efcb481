// The real-world packages of the shared test data (Apache POI and Tika test files)
// load without a fault and show their text.
#include <filesystem>
#include <string>

#include "convert/ooxml/OoxmlTestSupport.h"

namespace {

using namespace ooxmltest;

class SharedOfficeFilesTest : public OoxmlTest {};

TEST_F(SharedOfficeFilesTest, EveryPackageShowsItsText) {
  const std::string root = testenv::SharedTestData("office");
  SKIP_WITHOUT_SHARED_DATA(root);
  const struct {
    const char* folder;
    const char* word;  // a word every file of the folder shows
  } folders[] = {{"docx", ""}, {"pptx", "page  1"}};
  int files = 0;
  for (const auto& f : folders) {
    for (const auto& entry : std::filesystem::directory_iterator(root + "/" + f.folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".docx" && ext != ".pptx") continue;
      ++files;
      const std::string text = ShowPath(plat::FromHostPath(entry.path().string()));
      ASSERT_LT(doc_->m_nTextLen, doc_->m_nConvCap) << entry.path();
      size_t letters = 0;
      for (char c : text) letters += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
      EXPECT_GT(letters, 100u) << entry.path();
      EXPECT_NE(text.find(f.word), std::string::npos) << entry.path();
    }
  }
  EXPECT_GE(files, 9);
}

}  // namespace
