// Reading Pelnor.inf once, and writing it fresh when it is missing.
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
