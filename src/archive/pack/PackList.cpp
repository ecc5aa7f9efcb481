#include "archive/pack/PackList.h"

#include <cerrno>

#include "archive/FailureReason.h"
#include "codec/ErrorCodes.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

std::optional<std::vector<std::string>> WalkPackList(std::string_view base, const std::vector<std::string>& sources,
                                                     LeftOut leftOut, size_t* notStored) {
  std::vector<FileEntry> entries;
  for (const std::string& s : sources) CollectTreeFiles(base, s, entries, &leftOut);
  if (!AcceptLeftOut(leftOut)) return std::nullopt;
  if (notStored) *notStored = NotStored(leftOut);
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (FileEntry& e : entries) names.push_back(std::move(e.name));
  if (!AllReadable(base, names)) return std::nullopt;
  return names;
}

bool AcceptLeftOut(const LeftOut& leftOut) {
  for (const std::string& link : leftOut.links) AfxNote(plat::ShownPath(link) + plat::Utf8ToCp932Lossy(" : シンボリックリンクは格納しません"));
  for (const std::string& special : leftOut.specials)
    AfxNote(plat::ShownPath(special) + plat::Utf8ToCp932Lossy(" : 名前付きパイプなどの特殊ファイルは格納しません"));
  for (const std::string& name : leftOut.unnamed)
    AfxNote(plat::ShownPath(name) + " : " + TroubleReason(WriteTrouble::NotShiftJis) + plat::Utf8ToCp932Lossy("。格納できません"));
  return leftOut.unnamed.empty();
}

size_t NotStored(const LeftOut& leftOut) { return leftOut.links.size() + leftOut.specials.size(); }

bool AllReadable(std::string_view base, const std::vector<std::string>& names) {
  bool all = true;
  for (const std::string& name : names) {
    if (!name.empty() && name.back() == '/') continue;
    plat::File file;
    if (file.Open(InFolder(base, name), plat::File::Mode::Read)) continue;
    AfxNote(plat::ShownPath(name) + " : " + CodeWithReason(codec::err::kReadFailed, ErrnoReason(errno)));
    all = false;
  }
  return all;
}

bool IsEmptyFolderToPack(const std::string& path) {
  if (!plat::IsDirectory(path)) return false;
  std::vector<std::string> unnamed;
  if (!ListFolderNames(path, true, &unnamed).empty() || !unnamed.empty()) return false;
  AfxMessageBox(plat::ShownPath(path) + "\r\n" + plat::Utf8ToCp932Lossy("空のフォルダーです。圧縮するファイルがありません。"));
  return true;
}
