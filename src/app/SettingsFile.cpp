// Reading Pelnor.inf once, writing it fresh when it is missing, and keeping the
// answers of a settings dialog in it.
#include "app/QelDoc.h"
#include "app/Settings.h"
#include "app/SystemStringsFile.h"
#include "frame/MainFrame.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"

namespace {

constexpr int64_t kSettingsFileLimit = 1 << 20;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

}  // namespace

int CQelDoc::ApplySettingsOnce(int mode) {
  if (!m_bSettingsApplied) {
    m_bSettingsApplied = true;
    // Pelnor.sys keeps the system strings the last session saved; Pelnor.inf, read
    // after it, wins for the keys it carries.
    ReadSystemStringsFile(*this);
    const std::string path = m_strProgramDir + "\\Pelnor.inf";
    if (auto text = plat::ReadFileHead(path, kSettingsFileLimit)) {
      std::string_view rest = *text;
      int lineNo = 0;
      while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        ++lineNo;
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        size_t eq = line.find('=');
        std::string problem = eq == std::string_view::npos
                                  ? "a line without '='"
                                  : ApplySetting(*this, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
        if (!problem.empty()) {
          AfxNote(plat::Utf8ToCp932Lossy("Pelnor.inf line " + std::to_string(lineNo) + ": " + problem));
        }
      }
    } else {
      plat::MakeDirectories(m_strProgramDir);
      // The file holds the FTP sites' passwords: only its owner may read it.
      const std::string fresh = SettingsFileText(*this);
      plat::File file;
      if (!file.Open(path, plat::File::Mode::WritePrivate) || !file.Write(fresh.data(), static_cast<int64_t>(fresh.size()))) {
        AfxNote(plat::Utf8ToCp932Lossy("cannot write the settings file ") + path);
      }
    }
  }
  if (mode == 1 && m_nListLayout < 9) m_nListLayout = 3;
  return 0;
}

bool SaveSettings(const CQelDoc& doc, std::initializer_list<std::string_view> keys) {
  // Only the dialog's keys change: a value set for this run alone (--set) is not
  // made lasting, and the user's own lines and comments stay as they are.
  const std::string path = doc.m_strProgramDir + "\\Pelnor.inf";
  std::string text;
  std::vector<bool> written(keys.size(), false);
  const auto old = plat::ReadFileHead(path, kSettingsFileLimit);
  std::string_view rest = old ? std::string_view(*old) : std::string_view();
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
    rest.remove_prefix(line.size());
    const size_t eq = line.find('=');
    const std::string_view key = eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
    size_t i = 0;
    for (std::string_view k : keys) {
      if (key == k) break;
      ++i;
    }
    if (i == keys.size()) {
      text += line;
    } else if (!written[i]) {
      text += std::string(key) + "=" + SettingValue(doc, key) + "\r\n";
      written[i] = true;
    }
  }
  if (!text.empty() && text.back() != '\n') text += "\r\n";
  size_t i = 0;
  for (std::string_view k : keys) {
    if (!written[i++]) text += std::string(k) + "=" + SettingValue(doc, k) + "\r\n";
  }
  plat::File file;
  return file.Open(path, plat::File::Mode::WritePrivate) && file.Write(text.data(), static_cast<int64_t>(text.size())) &&
         WriteSystemStringsFile(doc);
}
