// A mail message saved as a compound file (.msg, .oft) as display text: the
// property streams of its directory under fixed headings (subject, recipients,
// sender, body), its attachments listed, and the attachment the user chose saved in
// the TMP folder so the loader can show it.
//
// The file image is in m_pRawData; streams are read whole through their FAT chain
// (4,096 bytes and more) or their mini-FAT chain inside the mini-stream, every chain
// bounded by the sector count so a looping chain ends. 16-bit strings (type 001F)
// are converted to Shift-JIS. An attachment's file name is reduced to one safe name
// inside TMP: no separators, no leading dots, at most 100 bytes.
#include <algorithm>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/OfficeState.h"
#include "convert/office/cfb/CompoundStreams.h"
#include "convert/office/cfb/RawImage.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"

namespace {

constexpr int64_t kSector = 512;
constexpr size_t kMaxName = 100;

// One safe file name from an attachment's name: separators and characters a name
// cannot hold become "_", leading dots too, at most 100 bytes in whole characters.
std::string SafeAttachmentName(const std::string& name) {
  std::string out;
  for (size_t k = 0; k < name.size();) {
    const auto c = static_cast<uint8_t>(name[k]);
    if (IsSjisLeadByte(c) && k + 1 < name.size()) {
      if (out.size() + 2 > kMaxName) break;
      out.append(name, k, 2);
      k += 2;
      continue;
    }
    if (out.size() + 1 > kMaxName) break;
    const bool bad = c < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
                     c == '>' || c == '|' || (c == '.' && out.find_first_not_of('_') == std::string::npos);
    out += bad ? '_' : static_cast<char>(c);
    ++k;
  }
  return out;
}

class MailRoad {
 public:
  MailRoad(CQelDoc& doc, DumpCall& call)
      : doc_(doc), call_(call), img_(RawImageOf(doc)), streams_(doc, img_, std::min(call.readSize, doc.Convert().m_nRawLen)) {}
  // Declines the file (call.declined) when the directory lies beyond the data.
  void Run();

 private:
  void Text(const std::string& bytes);
  void Entry(const ByteCursor& e);
  void AttachmentLine();
  std::string Name(const ByteCursor& e, size_t most) const {
    std::string name;
    for (int64_t k = 0; k < static_cast<int64_t>(most) && k < 32; ++k) {
      if (e.PeekU16LE(2 * k) == 0) break;
      name += static_cast<char>(e.PeekU8(2 * k));
    }
    return name;
  }

  CQelDoc& doc_;
  DumpCall& call_;
  ByteCursor img_;
  CompoundStreams streams_;
  std::string attachName_;
  int attachVolume_ = 0;
  int attachments_ = 0;
  int withContent_ = 0;
  int withoutContent_ = 0;
};

// A stream's bytes as text: two NULs or 1E "x" end it, a lone CR becomes CR LF,
// other control bytes but tab and line ends are dropped.
void MailRoad::Text(const std::string& bytes) {
  std::string out;
  for (size_t k = 0; k < bytes.size(); ++k) {
    const auto c = static_cast<uint8_t>(bytes[k]);
    const uint8_t n = k + 1 < bytes.size() ? static_cast<uint8_t>(bytes[k + 1]) : 0;
    if ((c == 0 && n == 0 && k + 1 < bytes.size()) || (c == 0x1E && n == 'x')) break;
    if (c == '\r' && n != '\n') out += "\r\n";
    else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
    else out += static_cast<char>(c);
  }
  doc_.ConvAppend(out);
}

void MailRoad::AttachmentLine() {
  if (!attachName_.empty() && attachVolume_ > 0 && attachments_ > 0) {
    doc_.ConvPrintf("\r\n[file_%d] vol=%d", attachments_, attachVolume_);
    doc_.ConvAppend(" name= " + attachName_ + "\r\n");
    if (attachments_ == doc_.m_nSelectedItem - 100000) {
      const std::string tmp = doc_.TmpFolder();
      const std::string saved = tmp + "\\TMP_msg.tmp";
      const std::string safe = SafeAttachmentName(attachName_);
      const std::string target = tmp + "\\TMP_" + (safe.empty() ? std::string("msg.tmp") : safe);
      if (plat::Exists(target)) plat::RemoveFile(target);
      if (plat::RenameFile(saved, target)) doc_.m_strPathName = target;
    }
  }
  attachName_.clear();
  attachVolume_ = 0;
}

void MailRoad::Entry(const ByteCursor& e) {
  const std::string name = Name(e, 32);
  const bool property = name.size() >= 3 && name[0] == '_' && name[1] == '_' && (name[2] == 's' || doc_.m_nDisplayForm == 2);
  const bool closer = name.size() >= 3 && name[0] == '_' && name[1] == '_' && name[2] == 'p' && doc_.m_nDisplayForm != 2;
  if (closer) AttachmentLine();
  const uint32_t size = e.PeekU24LE(120);
  if (!property || size == 0 || e.PeekU8(66) != 2) {
    ++withoutContent_;
    return;
  }
  const std::string tag = name.size() >= 16 ? name.substr(12, 4) : "";
  const std::string type = name.size() >= 20 ? name.substr(16, 4) : "";
  const bool wide = type == "001F";
  const bool show = doc_.m_nSelectedItem == 0;
  const char* heading = nullptr;
  if (tag == "1000" && (type.size() == 4 && (type[3] == 'E' || wide))) heading = "\r\n-------------------------------------------------\r\n";
  else if (tag == "1013" && doc_.m_nDisplayForm == 2) heading = "\r\n--HTML-------------------------------------------\r\n";
  else if (tag == "0037") heading = "\r\nTITLE  : ";
  else if (tag == "007D" && doc_.m_nDisplayForm == 2) heading = "\r\n--DATA--\r\n";
  else if (tag == "0E04") heading = "\r\nTO     : ";
  else if (tag == "0E03") heading = "\r\nCC     : ";
  else if (tag == "0042") heading = "\r\nFROM   : ";
  const bool attachName = tag == "3707" && doc_.m_nDisplayForm == 0;
  const bool attachData = tag == "3701";
  if (!heading && !attachName && !attachData && doc_.m_nDisplayForm != 2) {
    ++withoutContent_;
    return;
  }
  ++withContent_;
  withoutContent_ = 0;
  if (doc_.m_nDisplayForm == 2) {
    std::string low;
    for (char c : name.substr(0, 50)) low += c;
    doc_.ConvPrintf("\r\n##%4d##", static_cast<int>(size));
    doc_.ConvAppend(low + " : ");
  }
  std::string bytes = streams_.Stream(e.PeekU32LE(116), size);
  if (wide) {
    std::u16string units(bytes.size() / 2, u'\0');
    ByteCursor in(bytes);
    for (char16_t& unit : units) unit = in.U16LE();
    const size_t stop = units.find(u'\0');
    if (stop != std::u16string::npos) units.resize(stop);
    std::string sjis(units.size() * 2 + 1, '\0');
    const int n = units.empty() ? 0 : plat::WideToCp932(units.data(), static_cast<int>(units.size()), sjis.data(), static_cast<int>(sjis.size()));
    bytes = sjis.substr(0, static_cast<size_t>(std::max(n, 0)));
  }
  if (heading) {
    doc_.ConvAppend(heading);
    if (show) Text(bytes);
    return;
  }
  if (attachName) {
    attachName_.clear();
    for (const char c : bytes) {
      if (static_cast<uint8_t>(c) < 0x20) break;
      attachName_ += c;
    }
    return;
  }
  if (attachData) {
    attachVolume_ = static_cast<int>(size);
    const auto at = [&](size_t k) { return k < bytes.size() ? static_cast<uint8_t>(bytes[k]) : 0; };
    const bool known = (at(0) == 0xD0 && at(1) == 0xCF && at(2) == 0x11 && at(3) == 0xE0) || bytes.rfind("%PDF", 0) == 0 ||
                       bytes.rfind("{\\rt", 0) == 0 || bytes.rfind("<htm", 0) == 0 || bytes.rfind("<!", 0) == 0 ||
                       bytes.rfind("GIF8", 0) == 0 || (at(0) == 0xFF && at(1) == 0xD8 && at(2) == 0xFF);
    if (!known && show) {
      doc_.ConvAppend("------------------------------\r\n");
      Text(bytes);
      doc_.ConvAppend("\r\n------------------------------\r\n");
    }
    ++attachments_;
    if (attachments_ == doc_.m_nSelectedItem) {
      const std::string saved = doc_.TmpFolder() + "\\TMP_msg.tmp";
      if (plat::WriteWholeFile(saved, bytes)) {
        doc_.m_strPathName = saved;
        doc_.m_nSelectedItem += 100000;
      }
    }
  }
}

void MailRoad::Run() {
  const int64_t readSize = std::min(call_.readSize, doc_.Convert().m_nRawLen);
  if (doc_.Office().m_nCfbDirectoryPos <= 0 || doc_.Office().m_nCfbDirectoryPos >= readSize) {
    call_.declined = true;
    return;
  }
  doc_.m_nConvPos = 0;
  doc_.m_bAltDisplay = 1;
  const std::string directory = streams_.Regular(static_cast<uint32_t>(doc_.Office().m_nCfbDirectoryPos / kSector - 1), -1);
  ByteCursor entries(directory);
  entries.Skip(128);
  while (entries.Has(128)) {
    if (withContent_ >= 100 || withoutContent_ >= 100) break;
    Entry(entries.Sub(128));
  }
  AttachmentLine();  // the last attachment, when no properties stream closed it
  if (doc_.m_nConvPos == 0) doc_.ConvAppend(LoadString(IDS_OFFICE_FORMAT_UNSUPPORTED));
  doc_.ConvAppend("\r\n--END--- ");
}

}  // namespace

ConvertStatus CQelDoc::DumpMailText(DumpCall& call) {
  MailRoad(*this, call).Run();
  return ConvertStatus::Ok();
}
