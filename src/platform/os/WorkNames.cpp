#include "platform/os/WorkNames.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/os/FolderHandle.h"
#include "platform/os/HostFiles.h"

namespace plat {
namespace {

constexpr std::string_view kPrefix = ".pelnorix-";
constexpr std::string_view kFileEnd = ".part~";
constexpr size_t kSuffixLength = 6;

std::string_view KindName(WorkKind kind) {
  switch (kind) {
    case WorkKind::Zip: return "zip";
    case WorkKind::Lha: return "lha";
    case WorkKind::Unpack: return "unpack";
  }
  return "";
}

bool Consume(std::string_view& text, std::string_view head) {
  if (text.substr(0, head.size()) != head) return false;
  text.remove_prefix(head.size());
  return true;
}

// "<pid>-<six>" exactly: the pid of the run that made the name.
std::optional<pid_t> OwnerOf(std::string_view rest) {
  const size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 9 || rest.size() != dash + 1 + kSuffixLength) return std::nullopt;
  pid_t pid = 0;
  for (char c : rest.substr(0, dash)) {
    if (c < '0' || c > '9') return std::nullopt;
    pid = pid * 10 + (c - '0');
  }
  for (char c : rest.substr(dash + 1))
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return std::nullopt;
  if (pid <= 0) return std::nullopt;
  return pid;
}

// A process that answers the null signal lives (one of another user answers EPERM).
bool Lives(pid_t pid) { return pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace

std::string NewWorkFileName() {
  return std::string(kPrefix) + std::to_string(getpid()) + "-" + UniqueSuffix() + std::string(kFileEnd);
}

bool IsPictureWorkFile(std::string_view winPath) {
  const size_t name = kPictureWorkStem.size() + 3;
  return winPath.size() >= name && winPath.substr(winPath.size() - name, kPictureWorkStem.size()) == kPictureWorkStem;
}

bool IsStaleWorkName(std::string_view name, bool isDirectory) {
  if (!Consume(name, kPrefix)) return false;
  if (!isDirectory) {
    if (name.size() <= kFileEnd.size() || name.substr(name.size() - kFileEnd.size()) != kFileEnd) return false;
    name.remove_suffix(kFileEnd.size());
  } else {
    bool known = false;
    for (WorkKind kind : {WorkKind::Zip, WorkKind::Lha, WorkKind::Unpack})
      known = known || Consume(name, std::string(KindName(kind)) + "-");
    if (!known) return false;
  }
  std::optional<pid_t> owner = OwnerOf(name);
  return owner && !Lives(*owner);
}

void RemoveStaleWork(std::string_view winFolder) {
  std::optional<FolderHandle> folder = FolderHandle::Open(winFolder);
  if (!folder) return;
  std::optional<std::vector<DirEntry>> entries = folder->List(false);
  if (!entries) return;
  for (const DirEntry& e : *entries) {
    if (!e.nameExact || e.name.compare(0, kPrefix.size(), kPrefix) != 0) continue;
    if (!IsStaleWorkName(e.name, e.isDirectory)) continue;
    if (e.isDirectory) {
      std::string path(winFolder);
      if (!path.empty() && FindLastSeparator(path) != path.size() - 1) path += '\\';
      RemoveTree(path + e.name);
    } else {
      folder->Remove(e.name);
    }
  }
}

std::optional<std::string> MakeHiddenWorkFolder(std::string_view winFolder, WorkKind kind) {
  RemoveStaleWork(winFolder);
  return MakeWorkFolder(winFolder, std::string(kPrefix) + std::string(KindName(kind)) + "-" + std::to_string(getpid()) + "-");
}

}  // namespace plat
