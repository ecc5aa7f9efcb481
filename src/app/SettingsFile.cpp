// Reading Pelnor.inf once, writing it fresh when it is missing, and keeping the
// answers of a settings dialog in it. A settings file is written beside itself and
// renamed into place only when whole, so that a full disk leaves the old one as it
// was; Pelnor.inf and Pelnor.sys are renamed as a pair or not at all. A file keeps
// its owner's permission bits (0600 when new: it holds the FTP sites' passwords),
// and every line of the user's own stays.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "app/FrameHost.h"
#include "app/QelDoc.h"
#include "app/Settings.h"
#include "app/SystemStringsFile.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"

namespace {

// The most of Pelnor.inf that is read, and the largest one rewritten.
constexpr int64_t kSettingsFileLimit = 16 << 20;
constexpr const char* kLimitText = "16 MB";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// A line of Pelnor.inf as the CP932 text the settings hold. The program writes the
// file in Shift-JIS; a line edited in a UTF-8 editor is valid UTF-8 beyond ASCII
// (rarely true of Japanese Shift-JIS text) and is read as UTF-8. *said tells what
// was done with a line that is not Shift-JIS; nullopt when it is not read.
std::optional<std::string> LineAsSjis(std::string_view line, int lineNo, std::string& said) {
  const bool ascii = std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return std::string(line);
  const std::string where = "Pelnor.inf line " + std::to_string(lineNo) + " is not Shift-JIS (CP932)";
  if (plat::IsUtf8(line)) {
    if (std::optional<std::string> sjis = plat::Utf8ToCp932(line)) {
      said = where + ": it is read as UTF-8";
      return sjis;
    }
    said = where + ": it is UTF-8 with characters Shift-JIS cannot express, and is not read";
    return std::nullopt;
  }
  if (plat::Cp932ToWide(line).find(u'\uFFFD') == std::u16string::npos) return std::string(line);
  said = where + " nor UTF-8, and is not read";
  return std::nullopt;
}

std::string InfPath(const CQelDoc& doc) { return doc.m_strProgramDir + "\\Pelnor.inf"; }

std::string CannotWrite(const std::string& path, const std::string& why) {
  return plat::Utf8ToCp932Lossy("cannot write the settings file ") + plat::ShownPath(path) + plat::Utf8ToCp932Lossy(": " + why);
}

// The user's Pelnor.inf with each line of keys set to its value (a missing key
// added at the end) and every other line kept as it is.
std::string MergedSettings(const CQelDoc& doc, std::string_view rest, const std::vector<std::string_view>& keys) {
  std::string text;
  std::vector<bool> written(keys.size(), false);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
    rest.remove_prefix(line.size());
    const size_t eq = line.find('=');
    const std::string_view key = eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
    size_t i = 0;
    while (i < keys.size() && keys[i] != key) ++i;
    if (i == keys.size()) {
      text += line;
    } else if (!written[i]) {
      text += std::string(key) + "=" + PlainSettingText(LastingSettingValue(doc, key)) + "\r\n";
      written[i] = true;
    }
  }
  if (!text.empty() && text.back() != '\n') text += "\r\n";
  for (size_t i = 0; i < keys.size(); ++i) {
    if (!written[i]) text += std::string(keys[i]) + "=" + PlainSettingText(LastingSettingValue(doc, keys[i])) + "\r\n";
  }
  return text;
}

// One settings file of a save: its new bytes in a work file beside it, renamed onto
// it by Commit; what it held before, to put back when the other of the pair fails.
struct PendingFile {
  std::string path;
  std::optional<plat::FileInfo> before;
  plat::WorkFile work;

  // "" or the message naming the file and why it is not written.
  std::string Prepare(std::string_view bytes) {
    // A link or a file made read-only is the user's way of keeping it: it is not replaced.
    before = plat::LinkStat(path);
    if (before && before->isSymlink) return CannotWrite(path, "it is a symbolic link");
    if (before && (before->isDirectory || before->readOnly)) return CannotWrite(path, "it is not a writable file");
    if (before && before->isSpecial) return CannotWrite(path, "it is not a regular file");
    const unsigned owner = before ? static_cast<unsigned>(before->permissions) & 0700u : 0u;
    errno = 0;
    if (work.CreateBeside(path) && work.SetPermissions(owner != 0 ? owner : 0600u) &&
        work.Out().Write(bytes.data(), static_cast<int64_t>(bytes.size()))) {
      return "";
    }
    const int error = errno != 0 ? errno : EIO;
    work.Discard();
    return CannotWrite(path, std::strerror(error));
  }

  std::string Commit() {
    errno = 0;
    if (work.CommitAs(path)) return "";
    return CannotWrite(path, std::strerror(errno != 0 ? errno : EIO));
  }
};

// Writes Pelnor.inf and Pelnor.sys as a pair: both beside themselves, then both
// renamed; when either cannot be written, neither is replaced (a Pelnor.inf already
// renamed gets its old bytes back).
std::string WriteSettingsPair(const std::string& infPath, std::string_view infBytes, std::string_view oldInf,
                              const std::string& sysPath, std::string_view sysBytes) {
  PendingFile inf{infPath, std::nullopt, {}};
  PendingFile sys{sysPath, std::nullopt, {}};
  if (std::string problem = inf.Prepare(infBytes); !problem.empty()) return problem;
  if (std::string problem = sys.Prepare(sysBytes); !problem.empty()) return problem;
  if (std::string problem = inf.Commit(); !problem.empty()) return problem;
  std::string problem = sys.Commit();
  if (!problem.empty()) {
    const bool restored = inf.before ? plat::ReplaceWholeFile(infPath, oldInf, static_cast<unsigned>(inf.before->permissions))
                                     : plat::RemoveFile(infPath);
    if (!restored) problem += plat::Utf8ToCp932Lossy(" (and Pelnor.inf, already replaced, could not be put back)");
  }
  return problem;
}

}  // namespace

std::string WriteSettingsFile(const std::string& path, std::string_view bytes) {
  PendingFile file{path, std::nullopt, {}};
  if (std::string problem = file.Prepare(bytes); !problem.empty()) return problem;
  return file.Commit();
}

std::string IrregularSettingsFile(const std::string& path) {
  const std::optional<plat::FileInfo> info = plat::Stat(path);
  if (!info || (!info->isSpecial && !info->isDirectory)) return "";
  return plat::ShownPath(path) + plat::Utf8ToCp932Lossy(info->isDirectory ? ": a folder, not a settings file"
                                                                            : ": not a regular file (a pipe or a device is not read)");
}

int CQelDoc::ApplySettingsOnce(int mode) {
  if (!m_bSettingsApplied) {
    m_bSettingsApplied = true;
    // Pelnor.sys keeps the system strings the last session saved; Pelnor.inf, read
    // after it, wins for the keys it carries.
    ReadSystemStringsFile(*this);
    const std::string path = InfPath(*this);
    if (const std::string irregular = IrregularSettingsFile(path); !irregular.empty()) {
      AfxNote(irregular + plat::Utf8ToCp932Lossy("; the settings in it are not applied"));
    } else if (auto text = plat::ReadFileHead(path, kSettingsFileLimit + 1)) {
      std::string_view rest = *text;
      if (rest.size() > static_cast<size_t>(kSettingsFileLimit)) {
        const size_t end = rest.rfind('\n', static_cast<size_t>(kSettingsFileLimit) - 1);
        rest = rest.substr(0, end == std::string_view::npos ? 0 : end + 1);
        AfxNote(path + plat::Utf8ToCp932Lossy(std::string(" is larger than ") + kLimitText +
                                              ": the lines after its first " + kLimitText + " are not read"));
      }
      if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);  // a UTF-8 editor's mark
      int lineNo = 0;
      while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        ++lineNo;
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        std::string said;
        const std::optional<std::string> sjis = LineAsSjis(line, lineNo, said);
        if (!said.empty()) AfxNote(plat::Utf8ToCp932Lossy(said));
        if (!sjis) continue;
        line = *sjis;
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
      if (const std::string problem = WriteSettingsFile(path, SettingsFileText(*this)); !problem.empty()) AfxNote(problem);
    }
  }
  if (mode == 1 && m_nListLayout < 9) m_nListLayout = 3;
  return 0;
}

std::string SaveSettings(const CQelDoc& doc, const std::vector<std::string_view>& keys) {
  // Only the keys given change: a value set for this run alone (--set) is not made
  // lasting, and the user's own lines and comments stay as they are. A file that
  // cannot be read whole is left as it is rather than written without its lines.
  const std::string path = InfPath(doc);
  std::string old;
  if (plat::LinkStat(path)) {
    if (const std::string irregular = IrregularSettingsFile(path); !irregular.empty()) {
      return CannotWrite(path, "it is not a regular file");
    }
    auto text = plat::ReadFileHead(path, kSettingsFileLimit + 1);
    if (!text) return CannotWrite(path, "it cannot be read");
    if (text->size() > static_cast<size_t>(kSettingsFileLimit)) {
      return CannotWrite(path, std::string("it is larger than ") + kLimitText + " and is left as it is");
    }
    old = std::move(*text);
  }
  return WriteSettingsPair(path, MergedSettings(doc, old, keys), old, SystemStringsFilePath(doc), SystemStringsFileText(doc));
}

std::string SaveAllSettings(const CQelDoc& doc) {
  std::vector<std::string> keys;
  for (const SettingDescription& d : DescribeSettings()) keys.push_back(d.key);
  return SaveSettings(doc, std::vector<std::string_view>(keys.begin(), keys.end()));
}
