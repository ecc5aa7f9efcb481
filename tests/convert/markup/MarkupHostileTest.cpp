// Hostile inputs: every fixture cut short and bit-flipped, through both converters
// with the options that change their roads. Nothing may read past the bytes, write
// past the buffer, put a NUL into the text or hang; the sanitizers watch the rest.
#include <filesystem>
#include <random>
#include <string>

#include "convert/markup/MarkupTestSupport.h"
#include "support/TestEnv.h"

namespace {

class MarkupHostile : public testenv::DocTest {
 protected:
  void SetUp() override {
    doc_->m_nOutDataLimit = 1 << 16;
    doc_->m_nTableRows = 600;  // a small matrix: flushes forced often
    doc_->m_bShowAddress = 1;
  }

  void Check(const std::string& bytes, const std::string& what) {
    for (int variant = 0; variant < 4; ++variant) {
      doc_->m_bVerticalRules = variant & 1;
      const auto form = variant & 2 ? markuptest::Form::Sheet : markuptest::Form::Html;
      const std::string text = markuptest::Convert(*doc_, bytes, form, 1);
      ASSERT_LT(text.size(), static_cast<size_t>(doc_->m_nConvCap)) << what;
      ASSERT_EQ(text.find('\0'), std::string::npos) << what << " variant " << variant;
    }
  }
};

std::vector<std::string> Fixtures() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(testenv::DataPath("markup"))) {
    const auto ext = entry.path().extension();
    if (ext == ".html" || ext == ".xml") names.push_back(entry.path().string());
  }
  return names;
}

}  // namespace

TEST_F(MarkupHostile, TruncatedFixtures) {
  const auto fixtures = Fixtures();
  ASSERT_GE(fixtures.size(), 6u);
  for (const auto& path : fixtures) {
    const std::string bytes = testenv::ReadHostFile(path);
    const size_t step = std::max<size_t>(1, bytes.size() / 150);
    for (size_t length = 0; length < bytes.size(); length += step) Check(bytes.substr(0, length), path);
    for (size_t cut = 1; cut <= 8 && cut <= bytes.size(); ++cut) Check(bytes.substr(0, bytes.size() - cut), path);
  }
}

TEST_F(MarkupHostile, BitFlippedFixtures) {
  std::mt19937 random(20240607);
  static constexpr char kTroublesome[] = {'<', '>', '&', ';', '"', '\x1B', '$', '(', 'B', '\xFF', '\0', '\n', '\t', '\xE3', '\xA4'};
  for (const auto& path : Fixtures()) {
    const std::string bytes = testenv::ReadHostFile(path);
    for (int round = 0; round < 200; ++round) {
      std::string flipped = bytes;
      flipped[random() % flipped.size()] ^= static_cast<char>(1u << (random() % 8));
      Check(flipped, path + " flip " + std::to_string(round));
    }
    for (int round = 0; round < 40; ++round) {
      std::string mixed = bytes;
      for (int i = 0; i < 8; ++i) mixed[random() % mixed.size()] = kTroublesome[random() % sizeof kTroublesome];
      Check(mixed, path + " bytes " + std::to_string(round));
    }
  }
}

// A page cut short keeps the text before the cut: what it shows is the start of
// what the whole page shows, but for the few characters at the cut (half a tag,
// entity or character).
TEST_F(MarkupHostile, TruncatedPagesKeepTheTextBeforeTheCut) {
  constexpr size_t kAtTheCut = 12;  // bytes of letters the cut may change
  for (const auto& path : Fixtures()) {
    const bool sheet = path.ends_with(".xml");
    const auto form = sheet ? markuptest::Form::Sheet : markuptest::Form::Html;
    const std::string bytes = testenv::ReadHostFile(path);
    const auto letters = [&](const std::string& page) {
      return markuptest::Letters(markuptest::Utf8(markuptest::Body(markuptest::Convert(*doc_, page, form, 1))), true);
    };
    const std::string whole = letters(bytes);
    ASSERT_GT(whole.size(), 20u) << path;
    for (size_t length = 0; length < bytes.size(); length += 1 + bytes.size() / 60) {
      std::string part = letters(bytes.substr(0, length));
      part.resize(part.size() > kAtTheCut ? part.size() - kAtTheCut : 0);
      EXPECT_TRUE(whole.starts_with(part)) << path << " cut at " << length << "\n" << part << "\n" << whole;
    }
  }
}
