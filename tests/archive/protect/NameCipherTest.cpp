// Enciphered file names against values worked out by hand from the cipher's
// definition (an independent script, kept out of the project), and the forms that
// must come back unchanged.
#include <gtest/gtest.h>

#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "support/TestEnv.h"

namespace {

class NameCipher : public testenv::DocTest {
 protected:
  void Key(const std::string& pwrd) { doc_->m_astrSysValue[29] = pwrd; }
};

struct Worked {
  const char* pwrd;
  const char* base;
  const char* cipher;
};

// "日本" is the CP932 pair 93FA 967B.
constexpr Worked kWorked[] = {
    {"PWRDxxxxABCD", "a", "SD0oa0^^"},
    {"PWRDxxxxABCD", "report", "XCsuflf4TX7J"},
    {"PWRDxxxxABCD", "\x93\xfa\x96\x7b", "X0GVxjQ6X0^^"},
    {"PWRDxxxxm5s9", "report", "SBonkZIMQFzb"},
    {"PWRDxxxx-+)%12345678", "report", "NfF6cHI7UWYS"},  // all eight key values
    {"PWRDxxxxZZZZ3", "a", "Kg7lLV^^"},                 // thirteen characters: e to h unused
};

}  // namespace

TEST_F(NameCipher, WorkedExamplesEncipherAndTranslateBack) {
  for (const Worked& w : kWorked) {
    Key(w.pwrd);
    EXPECT_EQ(doc_->CipherFileName(CipherDirection::kEncipher, w.base).path, w.cipher) << w.pwrd << " " << w.base;
    const std::string plain = std::string("\\d\\") + w.base + "@Enc.rtf";
    const std::string stored = doc_->TranslateFileName(plain, NameForm::kStored).path;
    EXPECT_EQ(stored, std::string("\\d\\#~$_") + w.cipher + ".rtf");
    EXPECT_EQ(doc_->TranslateFileName(stored, NameForm::kPlain).path, plain);
  }
}

TEST_F(NameCipher, NamesThatMustStayAsTheyAre) {
  // No key: nothing is translated in either direction.
  Key("PWRDxxxx    ");
  EXPECT_EQ(doc_->TranslateFileName("\\d\\a@Enc.rtf", NameForm::kStored).path, "\\d\\a@Enc.rtf");
  EXPECT_EQ(doc_->TranslateFileName("\\d\\#~$_SD0oa0^^.rtf", NameForm::kPlain).path, "\\d\\#~$_SD0oa0^^.rtf");
  Key("PWRDxxxxABCD");
  // "@Enc" not right before the extension, "#~$_" at position 0, a name without an extension.
  for (const char* path : {"\\d\\a@Encx.rtf", "a@Enc", "\\d\\a.rtf"}) EXPECT_EQ(doc_->TranslateFileName(path, NameForm::kStored).path, path);
  EXPECT_EQ(doc_->TranslateFileName("#~$_SD0oa0^^.rtf", NameForm::kPlain).path, "#~$_SD0oa0^^.rtf");
  // The wrong key, a damaged text and a cut group keep the stored form.
  Key("PWRDxxxxm5s9");
  EXPECT_EQ(doc_->TranslateFileName("\\d\\#~$_SD0oa0^^.rtf", NameForm::kPlain).path, "\\d\\#~$_SD0oa0^^.rtf");
  Key("PWRDxxxxABCD");
  EXPECT_EQ(doc_->TranslateFileName("\\d\\#~$_SD0pa0^^.rtf", NameForm::kPlain).path, "\\d\\#~$_SD0pa0^^.rtf");
  EXPECT_EQ(doc_->TranslateFileName("\\d\\#~$_SD0oa0^.rtf", NameForm::kPlain).path, "\\d\\#~$_SD0oa0^.rtf");
  // A folder whose name ends in the trail byte 0x5C: only the base name changes.
  EXPECT_EQ(doc_->TranslateFileName("\\\x95\\\\a@Enc.rtf", NameForm::kStored).path, "\\\x95\\\\#~$_SD0oa0^^.rtf");
}

TEST_F(NameCipher, LongNamesAndWrappedSums) {
  Key("PWRDxxxxABCD");
  // 250 bytes of 0xFF sum past 65,535: the check wraps and the name still comes back.
  const std::string heavy(250, '\xff');
  const std::string c = doc_->CipherFileName(CipherDirection::kEncipher, heavy).path;
  EXPECT_EQ(c.size(), 340u);  // 253 bytes in 85 groups
  EXPECT_EQ(doc_->CipherFileName(CipherDirection::kDecipher, c).path, heavy + "@Enc");
  // 256 bytes and more are left alone.
  const std::string tooLong(254, 'x');
  EXPECT_EQ(doc_->CipherFileName(CipherDirection::kEncipher, tooLong).path, tooLong);
}
