#include "archive/ArchivePaths.h"

#include <ctime>
#include <filesystem>

#include "platform/os/Files.h"

std::string NormalizeArchivePath(std::string_view path) {
  std::vector<uint8_t> mask = MakeSjisLeadMask(path, path.size());
  std::string out(path);
  for (size_t i = 0; i < out.size(); ++i)
    if (!mask[i] && out[i] == '\\') out[i] = '/';
  if (out.empty() || mask.back() || out.back() != '/') out += '/';
  return out;
}

std::string SplitArchivePath(std::string_view path) {
  std::vector<uint8_t> mask = MakeSjisLeadMask(path, path.size());
  for (size_t i = path.size(); i-- > 0;)
    if (!mask[i] && path[i] == '/') return std::string(path.substr(0, i));
  return "";
}

bool MakeDirectoryPath(std::string_view path) {
  std::vector<uint8_t> mask = MakeSjisLeadMask(path, path.size());
  std::string win(path);
  for (size_t i = 0; i < win.size(); ++i)
    if (!mask[i] && win[i] == '/') win[i] = '\\';
  return plat::MakeDirectories(win);
}

std::optional<std::string> ResolvedFolder(std::string_view folder) {
  std::optional<std::string> host = plat::ToHostPath(folder);
  if (!host) return std::nullopt;
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(host->empty() ? "." : *host, ec);
  if (ec || !std::filesystem::is_directory(real, ec)) return std::nullopt;
  return plat::FromHostPath(real.string());
}

std::string InFolder(std::string_view folder, const std::string& path) {
  const bool absolute = !path.empty() && (path[0] == '\\' || path[0] == '/' || (path.size() >= 2 && path[1] == ':'));
  if (folder.empty() || absolute) return path;
  std::string joined(folder);
  if (plat::FindLastSeparator(joined) != joined.size() - 1) joined += '\\';
  return joined + path;
}

FileInfo FileEntry::FromPath(std::string_view path) {
  FileInfo info;
  info.name = std::string(path);
  std::optional<plat::FileInfo> st = plat::LinkStat(path);
  if (!st || st->isSymlink || st->isSpecial) return info;
  info.size = st->isDirectory ? -2 : st->size;
  time_t t = static_cast<time_t>(st->mtime < 0 ? 0 : st->mtime);
  struct tm tm{};
  localtime_r(&t, &tm);
  info.year = 1900 + tm.tm_year;
  info.month = tm.tm_mon + 1;
  info.day = tm.tm_mday;
  info.hour = tm.tm_hour;
  info.minute = tm.tm_min;
  info.second = tm.tm_sec;
  return info;
}

std::vector<std::string> ListFolderNames(std::string_view folder, bool withLinks, std::vector<std::string>* unnamed) {
  std::vector<std::string> names;
  if (folder.empty()) return names;
  std::optional<std::vector<plat::DirEntry>> entries = plat::ListDirectory(folder);
  if (!entries) return names;
  // Links are never followed; a name the path cannot carry as written is left alone.
  for (const plat::DirEntry& e : *entries) {
    if (e.name == "." || e.name == "..") continue;
    if (!e.nameExact) {
      if (unnamed) unnamed->push_back(e.name + (e.isDirectory ? "/" : ""));
    } else if (withLinks || !e.isSymlink) {
      names.push_back(e.name);
    }
  }
  return names;
}

namespace {

std::string ToSlashes(std::string_view path) {
  std::vector<uint8_t> mask = MakeSjisLeadMask(path, path.size());
  std::string out(path);
  for (size_t i = 0; i < out.size(); ++i)
    if (!mask[i] && out[i] == '\\') out[i] = '/';
  return out;
}

std::string WinChild(std::string_view folder, const std::string& name) {
  std::string p(folder);
  size_t sep = plat::FindLastSeparator(p);
  if (p.empty() || sep != p.size() - 1) p += '\\';
  return p + name;
}

// Visits the files of path and its folders; a folder with no entries at all is
// visited itself. Symbolic links are never followed, special files never read, and
// names that cannot be expressed never reached: each is recorded in leftOut.
// A relative path is taken from base.
template <class Visit>
void WalkTree(std::string_view base, std::string_view path, Visit&& visit, LeftOut* leftOut) {
  const std::string at = InFolder(base, std::string(path));
  FileInfo info = FileEntry::FromPath(at);
  if (info.size == -1) {
    std::optional<plat::FileInfo> st = plat::LinkStat(at);
    if (leftOut && st && st->isSymlink) leftOut->links.push_back(ToSlashes(path));
    if (leftOut && st && st->isSpecial) leftOut->specials.push_back(ToSlashes(path));
    return;
  }
  if (info.size != -2) {
    visit(info, ToSlashes(path));
    return;
  }
  std::optional<std::vector<plat::DirEntry>> entries = plat::ListDirectory(at);
  if (!entries) return;
  if (entries->empty()) {
    visit(info, NormalizeArchivePath(path));
    return;
  }
  for (const plat::DirEntry& e : *entries) {
    // A name the path cannot carry as written cannot be reached, nor stored.
    if (!e.nameExact) {
      if (leftOut) leftOut->unnamed.push_back(ToSlashes(WinChild(path, e.name)) + (e.isDirectory ? "/" : ""));
      continue;
    }
    if (e.isSymlink) {
      if (leftOut) leftOut->links.push_back(ToSlashes(WinChild(path, e.name)));
      continue;
    }
    WalkTree(base, WinChild(path, e.name), visit, leftOut);
  }
}

}  // namespace

void CollectTreeFiles(std::string_view base, std::string_view path, std::vector<FileEntry>& list, LeftOut* leftOut) {
  WalkTree(
      base, path,
      [&](const FileInfo& info, const std::string& name) {
        FileEntry e;
        e.uncompressedSize = info.size;
        e.year = info.year;
        e.month = info.month;
        e.day = info.day;
        e.hour = info.hour;
        e.minute = info.minute;
        e.second = info.second;
        e.name = name;
        list.push_back(std::move(e));
      },
      leftOut);
}

void BuildArchiveMemberList(std::string_view path, std::vector<ArchiveMember>& list) {
  WalkTree(
      "", path,
      [&](const FileInfo&, const std::string& name) {
        ArchiveMember m;
        m.folder = SplitArchivePath(name);
        m.name = m.folder.empty() ? name : name.substr(m.folder.size() + 1);
        list.push_back(std::move(m));
      },
      nullptr);
}
