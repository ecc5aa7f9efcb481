// Mail messages as text: the shared .msg files against msgconvert's reading, and
// messages with attachments written here (mini-stream and backward chains), the
// chosen attachment saved byte for byte, a hostile attachment name and a looping
// chain.
#include <filesystem>
#include <sstream>

#include "convert/office/msg/MsgImage.h"
#include "convert/office/OfficeTextSupport.h"
#include "platform/os/Files.h"

namespace {

using officetext::OfficeTextTest;

TEST_F(OfficeTextTest, SharedMessagesAgainstMsgconvert) {
  const std::string folder = testenv::SharedTestData("office/msg");
  SKIP_WITHOUT_SHARED_DATA(folder);
  std::istringstream reference(Fixture("msg.msgconvert.txt"));
  std::string head, subject, body;
  int files = 0;
  while (std::getline(reference, head) && std::getline(reference, subject) && std::getline(reference, body)) {
    const std::string name = head.substr(3);
    const std::string text = ShowBytesUtf8("a.msg", testenv::ReadHostFile(folder + "/" + name));
    EXPECT_NE(text.find("\r\nTITLE  : " + subject.substr(9) + "\r\n"), std::string::npos) << name << "\n" << text;
    EXPECT_EQ(officetext::Join(officetext::MissingWords(body, text)), "") << name;
    EXPECT_EQ(text.substr(text.size() - 11), "\r\n--END--- ") << name;
    EXPECT_EQ(doc_->m_bAltDisplay, 1);
    ++files;
  }
  EXPECT_EQ(files, 4);
}

std::string Utf16(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::string PdfBytes() {
  std::string pdf = "%PDF-1.4\n";
  for (int i = 0; pdf.size() < 5000; ++i) pdf += static_cast<char>(i * 7 + 3);
  pdf.resize(5000);
  return pdf;
}

std::string Message(const std::string& thirdName) {
  using msgimage::Entry;
  return msgimage::Build({
      {"__substg1.0_0037001F", Utf16(u"添付のテスト"), 2, true},
      {"__substg1.0_1000001E", "Body line one\rline two", 2, false},
      {"__attach_version1.0_#00000000", "", 1, false},
      {"__substg1.0_3707001E", "report.pdf", 2, false},
      {"__substg1.0_37010102", PdfBytes(), 2, true},
      {"__properties_version1.0", std::string(16, '\1'), 2, false},
      {"__attach_version1.0_#00000001", "", 1, false},
      {"__substg1.0_3707001E", "notes.txt", 2, false},
      {"__substg1.0_37010102", "plain attachment text, across two mini sectors of sixty-four bytes", 2, true},
      {"__properties_version1.0", std::string(16, '\1'), 2, false},
      {"__attach_version1.0_#00000002", "", 1, false},
      {"__substg1.0_3707001E", thirdName, 2, false},
      {"__substg1.0_37010102", "third", 2, false},
      {"__properties_version1.0", std::string(16, '\1'), 2, false},
  });
}

TEST_F(OfficeTextTest, MessageWithAttachments) {
  const std::string text = ShowBytesUtf8("a.msg", Message("x.txt"));
  EXPECT_EQ(text.rfind("\r\nTITLE  : 添付のテスト\r\n-------------------------------------------------\r\n"
                       "Body line one\r\nline two\r\n[file_1] vol=5000 name= report.pdf\r\n",
                       0),
            0u)
      << text;
  // The text attachment is shown (its mini sectors followed backwards), the PDF not.
  EXPECT_NE(text.find("------------------------------\r\nplain attachment text, across two mini sectors of sixty-four "
                      "bytes\r\n------------------------------\r\n\r\n[file_2] vol=66 name= notes.txt\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[file_3] vol=5 name= x.txt"), std::string::npos);
  EXPECT_EQ(text.find("%PDF"), std::string::npos);
}

TEST_F(OfficeTextTest, ChosenAttachmentIsSavedByteForByte) {
  doc_->m_nSelectedItem = 1;
  const std::string text = Show("a.msg", Message("x.txt"));
  EXPECT_EQ(text.find("Body line"), std::string::npos);  // no stream text while saving
  EXPECT_NE(text.find("[file_1] vol=5000 name= report.pdf"), std::string::npos);
  EXPECT_EQ(doc_->m_nSelectedItem, 100001);
  const std::string saved = doc_->TmpFolder() + "\\TMP_report.pdf";
  EXPECT_EQ(doc_->m_strPathName, saved);
  EXPECT_EQ(testenv::ReadHostFile(*plat::ToHostPath(saved)), PdfBytes());
}

TEST_F(OfficeTextTest, HostileAttachmentNameStaysInsideTmp) {
  for (const std::string& name : {std::string("..\\..\\evil"), std::string("../../evil"), std::string("C:\\evil"),
                                  std::string(300, 'n')}) {
    doc_->m_nSelectedItem = 3;
    Show("a.msg", Message(name));
    const std::string tmp = doc_->TmpFolder();
    ASSERT_EQ(doc_->m_strPathName.rfind(tmp + "\\TMP_", 0), 0u) << name;
    const std::string rest = doc_->m_strPathName.substr(tmp.size() + 1);
    EXPECT_EQ(rest.find_first_of("\\/:"), std::string::npos) << rest;
    EXPECT_NE(rest.rfind("TMP_..", 0), 0u) << rest;
    EXPECT_LE(rest.size(), 104u);
    EXPECT_EQ(testenv::ReadHostFile(*plat::ToHostPath(doc_->m_strPathName)), "third");
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.HostPath("evil")));
  EXPECT_FALSE(std::filesystem::exists(dir_.HostPath("program/evil")));
}

TEST_F(OfficeTextTest, LoopingChainEnds) {
  std::string bytes = Message("x.txt");
  // The PDF's ten sectors (8 to 17, after the directory, the mini FAT and the
  // mini-stream) each point back at themselves in the FAT.
  for (size_t s = 8; s < 18; ++s) msgimage::Put32(bytes, 512 + s * 4, static_cast<uint32_t>(s));
  const std::string text = Show("a.msg", bytes);
  EXPECT_NE(text.find("[file_1] vol=5000 name= report.pdf"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 11), "\r\n--END--- ");
}

TEST_F(OfficeTextTest, ForeignCompoundFileAsMessage) {
  const std::string text = Show("a.msg", msgimage::Build({{"Book", std::string(100, 'b'), 2, false}}));
  EXPECT_NE(plat::Cp932ToUtf8(text).find("対応していないOffice形式です\r\n\r\n\r\n--END--- "), std::string::npos);
}

TEST_F(OfficeTextTest, MessageSourceFormAnnouncesEachStream) {
  doc_->m_nDisplayForm = 2;
  const std::string text = Show("a.msg", Message("x.txt"));
  EXPECT_NE(text.find("\r\n##  22##__substg1.0_1000001E : \r\n-------------------------------------------------\r\n"
                      "Body line one\r\nline two"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\r\n##  16##__properties_version1.0 : "), std::string::npos);
  // No attachment name is taken in this form, so no attachment line.
  EXPECT_EQ(text.find("[file_"), std::string::npos);
}

}  // namespace
