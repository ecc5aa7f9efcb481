// Every shared PNG (PngSuite and the sample pictures) decodes to the very DIB it
// decoded to before the decoder was made fast: the load's result, the header, the
// colour table and the pixel bytes are hashed and compared with the hashes kept in
// tests/data/image/png-dib-hashes.txt. PELNORIX_WRITE_PNG_HASHES=<file> writes the
// hashes of the build under test there instead (how the kept list was made).
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "image/ImageState.h"
#include "image/ImageTestSupport.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

class PngDibHashTest : public testenv::DocTest {};

uint64_t Fnv(uint64_t h, const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
  return h;
}

// The files by their name below testdata, sorted.
std::vector<std::string> SharedPngs(const std::string& root) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.path().extension() == ".png")
      names.push_back(std::filesystem::relative(entry.path(), root).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(PngDibHashTest, EverySharedPngDecodesToItsKeptDib) {
  const std::string root = testenv::SharedTestData("");
  SKIP_WITHOUT_SHARED_DATA(root);
  std::map<std::string, std::string> kept;
  std::ifstream list(testenv::DataPath("image/png-dib-hashes.txt"));
  for (std::string name, hash; list >> name >> hash;) kept[name] = hash;
  const char* writeTo = std::getenv("PELNORIX_WRITE_PNG_HASHES");
  std::ostringstream written;
  int checked = 0;
  for (const std::string& name : SharedPngs(root)) {
    SCOPED_TRACE(name);
    doc_->Image().m_nImageLoadState = 0;
    const int result = doc_->LoadImageFile(plat::FromHostPath(root + "/" + name), 0);
    uint64_t h = Fnv(0xCBF29CE484222325ull, &result, sizeof result);
    if (result == 0) {
      const BITMAPINFOHEADER& bh = doc_->Image().m_bmiImage.bmiHeader;
      h = Fnv(h, &bh, sizeof bh);
      h = Fnv(h, doc_->Image().m_bmiImage.bmiColors, sizeof(RGBQUAD) * std::min<uint32_t>(bh.biClrUsed, 256));
      h = Fnv(h, doc_->Image().m_pImageBits, bh.biSizeImage);
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    written << name << ' ' << hex << '\n';
    if (writeTo) continue;
    ASSERT_TRUE(kept.count(name)) << "no kept hash";
    EXPECT_EQ(kept[name], hex);
    ++checked;
  }
  if (writeTo) {
    testenv::WriteHostFile(writeTo, written.str());
    return;
  }
  EXPECT_EQ(checked, static_cast<int>(kept.size()));
}

}  // namespace
