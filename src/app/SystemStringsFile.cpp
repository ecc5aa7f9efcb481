// Pelnor.sys: one line "NN<Tab>key<Tab>value" per system string with a key, every
// byte at position p raised by 0x5A + 13 p (mod 256); reading lowers it again.
#include "app/SystemStringsFile.h"

#include "app/QelDoc.h"
#include "app/FrameHost.h"
#include "app/Settings.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int64_t kFileLimit = 1 << 20;
constexpr size_t kLineLimit = 8192;

unsigned char Offset(size_t p) { return static_cast<unsigned char>(0x5A + 13 * (p & 0xFF)); }

std::string Scramble(std::string text, bool expand) {
  for (size_t p = 0; p < text.size(); ++p) {
    const auto b = static_cast<unsigned char>(text[p]);
    text[p] = static_cast<char>(expand ? b - Offset(p) : b + Offset(p));
  }
  return text;
}

}  // namespace

std::string SystemStringsFilePath(const CQelDoc& doc) { return doc.m_strProgramDir + "\\Pelnor.sys"; }

std::string SystemStringsFileText(const CQelDoc& doc) {
  std::string text;
  for (size_t i = 0; i < doc.m_astrSysKey.size(); ++i) {
    if (doc.m_astrSysKey[i].empty()) continue;
    text += static_cast<char>('0' + i / 10);
    text += static_cast<char>('0' + i % 10);
    // A value given for this run alone stays out; a line end or Tab inside a key or
    // value would start a line or field of its own.
    const auto given = doc.m_runSettings.find(doc.m_astrSysKey[i]);
    text += '\t' + PlainSettingText(doc.m_astrSysKey[i]) + '\t' +
            PlainSettingText(given == doc.m_runSettings.end() ? doc.m_astrSysValue[i]
                                                              : LastingSettingValue(doc, doc.m_astrSysKey[i]));
    text += "\r\n";
  }
  return Scramble(std::move(text), false);
}

void ReadSystemStringsText(CQelDoc& doc, std::string_view bytes) {
  const std::string text = Scramble(std::string(bytes.substr(0, static_cast<size_t>(kFileLimit))), true);
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() < 4 || line.size() > kLineLimit || line[2] != '\t') continue;
    if (line[0] < '0' || line[0] > '9' || line[1] < '0' || line[1] > '9') continue;
    const size_t index = static_cast<size_t>((line[0] - '0') * 10 + (line[1] - '0'));
    const size_t tab = line.find('\t', 3);
    if (index >= doc.m_astrSysKey.size() || tab == std::string_view::npos || tab == 3) continue;
    doc.m_astrSysKey[index] = std::string(line.substr(3, tab - 3));
    doc.m_astrSysValue[index] = std::string(line.substr(tab + 1));
  }
}

bool WriteSystemStringsFile(const CQelDoc& doc, std::string* problem) {
  std::string why = WriteSettingsFile(SystemStringsFilePath(doc), SystemStringsFileText(doc));
  if (problem) *problem = why;
  return why.empty();
}

void ReadSystemStringsFile(CQelDoc& doc) {
  const std::string path = SystemStringsFilePath(doc);
  if (const std::string irregular = IrregularSettingsFile(path); !irregular.empty()) {
    AfxNote(irregular + plat::Utf8ToCp932Lossy("; the system strings in it are not applied"));
    return;
  }
  if (auto bytes = plat::ReadFileHead(path, kFileLimit)) ReadSystemStringsText(doc, *bytes);
}
