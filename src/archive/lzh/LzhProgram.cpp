#include "archive/lzh/LzhProgram.h"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <optional>
#include <string_view>
#include <sstream>

#include "archive/ArchivePaths.h"
#include "archive/ArchiveState.h"
#include "ops/ArchiveStatus.h"
#include "archive/FailureReason.h"
#include "base/CheckedSize.h"
#include "codec/CodecError.h"
#include "codec/lzh/LzhHeader.h"
#include "platform/os/Files.h"
#include "platform/os/WorkNames.h"
#include "platform/os/Process.h"
#include "platform/text/CodePage.h"

namespace {

// A Windows path made absolute: a relative one is taken from folder, and folder, when
// relative or "", from the current folder.
std::string AbsoluteIn(const std::string& folder, const std::string& path) {
  return InFolder(plat::GetCurrentDirectory(), InFolder(folder, path));
}

// An absolute host path of a Windows path (relative ones against the current folder).
std::optional<std::string> AbsoluteHost(const std::string& winPath) { return plat::ToHostPath(AbsoluteIn("", winPath)); }

// Whether a line of the usage text starts (after blanks) with the command letter,
// then blanks, then a word (" a   Add to archive"); for the "y" option, a line
// holding it followed by a description that mentions multibyte names.
bool UsageLists(const std::string& usage, char letter, std::string_view mention) {
  std::istringstream lines(usage);
  std::string line;
  while (std::getline(lines, line)) {
    for (size_t at = 0; (at = line.find(letter, at)) != std::string::npos; ++at) {
      const bool startsWord = at == 0 || line[at - 1] == ' ';
      const bool blankAfter = at + 1 < line.size() && line[at + 1] == ' ';
      if (!startsWord || !blankAfter) continue;
      const size_t word = line.find_first_not_of(' ', at + 1);
      if (word == std::string::npos || !std::isalpha(static_cast<unsigned char>(line[word]))) continue;
      if (mention.empty() ? line.find_first_not_of(' ') == at : line.find(mention, word) != std::string::npos) return true;
    }
  }
  return false;
}

// The members of an LZH archive that are files (folder entries not counted); -1
// when it cannot be read whole.
int64_t CountFileMembers(const std::string& archive) {
  plat::File file;
  if (!file.Open(archive, plat::File::Mode::Read)) return -1;
  const int64_t length = file.GetLength();
  std::vector<uint8_t> bytes;
  if (length < 0 || !TryAllocate(bytes, length, 1, 0, nullptr) || file.Read(bytes.data(), length) != length) return -1;
  int64_t count = 0;
  const ArchiveStatus read = RunCodec([&] {
    uint64_t pos = 0;
    for (codec::CLzhHeader h; h.Read(bytes, pos) >= 0; h = codec::CLzhHeader()) count += h.method != "-lhd-";
  });
  return read.ok() ? count : -1;
}

}  // namespace

bool LzhProgramCanCreate(ArchiveState& state) {
  if (state.m_nLhaCanCreate < 0) {
    state.m_strLhaProgram = plat::FindProgram("lha");
    state.m_nLhaCanCreate = 0;
    if (!state.m_strLhaProgram.empty()) {
      // The usage text lists the commands; one that adds to an archive means it can create.
      const plat::ProgramResult usage = plat::RunProgram(state.m_strLhaProgram, {}, "/");
      state.m_nLhaCanCreate = UsageLists(usage.output, 'a', "") ? 1 : 0;
      state.m_bLhaSjisOption = UsageLists(usage.output, 'y', "multibyte") ? 1 : 0;
    }
  }
  return state.m_nLhaCanCreate == 1;
}

std::string LzhProgramNote(ArchiveState& state) {
  if (LzhProgramCanCreate(state)) return plat::Utf8ToCp932Lossy("\r\n(the lha program " + state.m_strLhaProgram + " could not do it either)");
  return plat::Utf8ToCp932Lossy("\r\n(on this system the lha program does this work: none that can create archives is on "
                                "PATH; install one, such as Debian's jlha-utils)");
}

int PackWithLzhProgram(ArchiveState& state, const std::string& archive, const std::string& folder,
                       const std::vector<std::string>& sources) {
  if (!LzhProgramCanCreate(state) || sources.empty()) return -1;
  const std::string absArchive = AbsoluteIn(folder, archive);
  const size_t sep = plat::FindLastSeparator(absArchive);
  std::optional<std::string> work =
      plat::MakeHiddenWorkFolder(sep == 0 ? std::string("\\") : absArchive.substr(0, sep), plat::WorkKind::Lha);
  if (!work) return -1;
  // The program adds to an archive that exists: it writes a new one in the work
  // folder, which replaces the target only when complete.
  const std::string workArchive = *work + "\\new.lzh";
  std::optional<std::string> hostArchive = plat::ToHostPath(workArchive);
  // "y", where the program has it, stores names in Shift-JIS as the system reads them.
  std::vector<std::string> args{state.m_bLhaSjisOption ? "aqy" : "aq", hostArchive.value_or("")};
  bool spelled = hostArchive.has_value();
  for (const std::string& s : sources) {
    std::optional<std::string> host = plat::ToHostPath(s);
    if (!host || host->empty()) spelled = false;
    // A name that starts with '-' must not read as an option.
    if (host) args.push_back((*host)[0] == '-' ? "./" + *host : *host);
  }
  std::optional<std::string> cwd = plat::ToHostPath(AbsoluteIn(folder, "."));
  int result = -1;
  if (spelled) {
    result = plat::RunProgram(state.m_strLhaProgram, args, cwd.value_or("")).exitCode;
    // The program leaves out a file it cannot read and still reports success: the
    // new archive must hold a member for every file handed to it.
    const int64_t files = std::count_if(sources.begin(), sources.end(), [](const std::string& s) { return s.back() != '/'; });
    if (result == 0 && CountFileMembers(workArchive) != files) result = -1;
    if (result == 0 && !plat::ReplaceByRename(workArchive, absArchive)) result = -1;
  }
  plat::RemoveTree(*work);
  return result;
}

std::string LzhPackReason(int packed, const std::string& folder) {
  constexpr int64_t kFull = 64 * 1024;
  if (packed == -2) return "";  // nothing to pack: the walk named what it refused
  const std::optional<int64_t> room = plat::FreeSpace(AbsoluteIn(folder, "."));
  if (room && *room < kFull) return "  (" + ErrnoReason(ENOSPC) + ")";
  if (packed > 0) return plat::Utf8ToCp932Lossy("  (the lha program ended with status " + std::to_string(packed) + ")");
  return "";
}

int UnpackWithLzhProgram(ArchiveState& state, const std::string& archive, const std::string& folder,
                         int64_t fileSizeLimit) {
  if (!LzhProgramCanCreate(state)) return -1;
  std::optional<std::string> hostArchive = AbsoluteHost(archive);
  std::optional<std::string> hostFolder = AbsoluteHost(folder);
  if (!hostArchive || !hostFolder) return -1;
  return plat::RunProgram(state.m_strLhaProgram, {state.m_bLhaSjisOption ? "xqfy" : "xqf", *hostArchive}, *hostFolder,
                          fileSizeLimit)
      .exitCode;
}
