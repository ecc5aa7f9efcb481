#include "archive/unpack/ExtractTarget.h"

#include <cerrno>
#include <ctime>
#include <vector>

#include "archive/ArchivePaths.h"
#include "archive/FailureReason.h"
#include "archive/Overwrite.h"
#include "codec/CodecError.h"
#include "codec/ErrorCodes.h"
#include "platform/os/WorkNames.h"

namespace {

std::vector<std::string> SplitParts(const std::string& rel) {
  std::vector<std::string> parts;
  std::vector<uint8_t> mask = MakeSjisLeadMask(rel, rel.size());
  size_t start = 0;
  for (size_t i = 0; i <= rel.size(); ++i) {
    if (i < rel.size() && (mask[i] || rel[i] != '\\')) continue;
    if (i > start) parts.push_back(rel.substr(start, i - start));
    start = i + 1;
  }
  return parts;
}

// Runs decode into file. When it throws, the file is closed and, unless keep is
// set for a codec error, removed (under name in folder) before the error goes on.
void Fill(plat::File& file, const std::function<void(codec::CByteSink&)>& decode, bool keep,
          const plat::FolderHandle& folder, const std::string& name, const std::function<void()>& keepIt) {
  CFileSink sink(file);
  try {
    decode(sink);
  } catch (const codec::CodecError&) {
    file.Close();
    if (keep) {
      keepIt();
    } else {
      folder.Remove(name);
    }
    throw;
  } catch (...) {
    file.Close();
    folder.Remove(name);
    throw;
  }
}

// A name that could not be made new because it was made meanwhile (exists) is
// replaced as any existing file is; a folder of that name, or a failure of another
// kind (error), ends the unpack with its reason.
void FailUnlessAFileStands(const plat::FolderHandle& folder, const std::string& name, bool exists, int error) {
  std::optional<plat::FileInfo> st = exists ? folder.StatChild(name) : std::nullopt;
  if (!st) codec::Fail(codec::err::kWrite, ErrnoReason(error));
  if (st->isDirectory) codec::Fail(codec::err::kWrite, TroubleReason(WriteTrouble::FolderInTheWay));
}

void Stamp(plat::File& file, const MemberStamp& stamp) {
  if (stamp.mtime) file.SetTime(*stamp.mtime);
  if (stamp.readOnly) file.SetReadOnly(true);
  file.Close();
}

}  // namespace

void CFileSink::Put(const uint8_t* data, size_t n) {
  if (!file_.Write(data, static_cast<int64_t>(n))) codec::Fail(codec::err::kWrite, ErrnoReason(errno));
}

CExtractTarget::CExtractTarget(std::string folder, bool askOverwrite) : folder_(std::move(folder)), ask_(askOverwrite) {
  while (folder_.size() > 1 && plat::FindLastSeparator(folder_) == folder_.size() - 1) folder_.pop_back();
  auto root = std::make_unique<Level>();
  root->path = folder_;
  if (std::optional<plat::FolderHandle> handle = plat::FolderHandle::Open(folder_)) {
    root->handle = std::move(*handle);
    ReadNames(*root);
  }
  levels_.emplace("", std::move(root));
}

void CExtractTarget::ReadNames(Level& level) {
  std::optional<std::vector<plat::DirEntry>> entries = level.handle.List(false);
  if (!entries) return;
  for (const plat::DirEntry& e : *entries) {
    if (!e.nameExact) continue;  // a host name no member name can equal
    // The work left by an unpack of this folder that was killed goes now.
    if (plat::IsStaleWorkName(e.name, e.isDirectory)) {
      if (e.isDirectory) {
        plat::RemoveTree(WinJoin(level.path, e.name));
      } else {
        level.handle.Remove(e.name);
      }
      continue;
    }
    level.names.emplace(e.name, Entry{e.name, e.isDirectory, e.isSymlink});
  }
}

CExtractTarget::~CExtractTarget() = default;

void CExtractTarget::Note(Level& level, const std::string& key, const std::string& name) {
  level.names.try_emplace(key, Entry{name, false, false});
}

CExtractTarget::Level* CExtractTarget::Enter(Level& parent, const std::string& key, const std::string& part, bool make,
                                             const std::string& levelKey) {
  auto level = std::make_unique<Level>();
  auto found = parent.names.find(key);
  bool read = true;
  int made = 0;
  if (found == parent.names.end()) {
    if (!make) return nullptr;
    // Made here: new and empty, nothing to read. Made meanwhile by someone else: only
    // a real folder will do, which opening it without following a link makes sure of.
    read = !parent.handle.MakeChild(part);
    made = read ? errno : 0;
    found = parent.names.emplace(key, Entry{part, true, false}).first;
  }
  if (found->second.isLink || !found->second.isDirectory) {
    why_ = TroubleReason(found->second.isLink ? WriteTrouble::LinkInTheWay : WriteTrouble::FileInTheWay);
    return nullptr;
  }
  std::optional<plat::FolderHandle> handle = parent.handle.OpenChild(found->second.name);
  if (!handle) {
    // The folder could not be made (a full disk, a folder not writable), or what is
    // there is no folder to enter.
    why_ = made && made != EEXIST ? ErrnoReason(made) : ErrnoReason(errno);
    return nullptr;
  }
  level->handle = std::move(*handle);
  level->path = WinJoin(parent.path, found->second.name);
  if (read) ReadNames(*level);
  return levels_.emplace(levelKey, std::move(level)).first->second.get();
}

CExtractTarget::Level* CExtractTarget::Reach(const std::vector<std::string>& parts, size_t count, bool make) {
  std::vector<std::string> keys(count);
  std::string levelKey;
  for (size_t i = 0; i < count; ++i) {
    keys[i] = parts[i];
    levelKey += '\\' + keys[i];
  }
  if (auto known = levels_.find(levelKey); known != levels_.end()) return known->second.get();
  Level* level = levels_.at("").get();
  levelKey.clear();
  for (size_t i = 0; i < count && level; ++i) {
    levelKey += '\\' + keys[i];
    auto known = levels_.find(levelKey);
    level = known != levels_.end() ? known->second.get() : Enter(*level, keys[i], parts[i], make, levelKey);
  }
  return level;
}

bool CExtractTarget::MakeFolders(const std::string& rel) {
  const std::vector<std::string> parts = SplitParts(rel);
  return Reach(parts, parts.size(), true) != nullptr;
}

bool CExtractTarget::StaysInside(const std::string& rel) {
  const std::vector<std::string> parts = SplitParts(rel);
  for (size_t i = 0; i < parts.size(); ++i) {
    Level* level = Reach(parts, i, false);
    if (!level) return false;  // changed under us since it was read: not taken as safe
    auto found = level->names.find(parts[i]);
    if (found == level->names.end()) return true;  // nothing further exists
    if (found->second.isLink) return false;
    if (!found->second.isDirectory) return true;
  }
  return true;
}

CExtractTarget::Place CExtractTarget::PlaceOf(const std::vector<std::string>& parts) {
  if (parts.empty()) codec::Fail(codec::err::kWrite, TroubleReason(WriteTrouble::BadName));
  Level* level = Reach(parts, parts.size() - 1, true);
  if (!level) codec::Fail(codec::err::kWrite, why_);
  Place place{level, parts.back(), parts.back(), false};
  auto found = level->names.find(place.key);
  if (found != level->names.end()) {
    // A folder stands in the way; a link of the name is replaced as a file would be
    // (the rename replaces the link itself, never what it points to).
    if (found->second.isDirectory) codec::Fail(codec::err::kWrite, TroubleReason(WriteTrouble::FolderInTheWay));
    place.name = found->second.name;
    place.exists = true;
  }
  return place;
}

MemberOutcome CExtractTarget::WriteFile(const std::string& rel, const std::function<void(codec::CByteSink&)>& decode,
                                        bool keepPartial, const MemberStamp& stamp, std::string* path) {
  const Place place = PlaceOf(SplitParts(rel));
  const plat::FolderHandle& folder = place.level->handle;
  const std::string target = WinJoin(place.level->path, place.name);
  if (path) *path = target;
  plat::File file;
  if (!place.exists) {
    bool exists = false;
    if (folder.CreateFile(place.name, file, &exists)) {
      Fill(file, decode, keepPartial, folder, place.name, [&] { Note(*place.level, place.key, place.name); });
      Stamp(file, stamp);
      Note(*place.level, place.key, place.name);
      return MemberOutcome::Written;
    }
    FailUnlessAFileStands(folder, place.name, exists, errno);
  }
  if (ask_ && !AskOverwrite(target)) return MemberOutcome::Declined;
  std::string work;
  if (!folder.CreateWorkFile(file, &work)) codec::Fail(codec::err::kWrite, ErrnoReason(errno));
  bool clash = false;
  Fill(file, decode, keepPartial, folder, work, [&] { folder.MoveInto(folder, work, place.name, true, &clash); });
  Stamp(file, stamp);
  if (!folder.MoveInto(folder, work, place.name, true, &clash)) {
    const int error = errno;
    folder.Remove(work);
    codec::Fail(codec::err::kWrite, ErrnoReason(error));
  }
  Note(*place.level, place.key, place.name);
  return MemberOutcome::Written;
}

MemberOutcome CExtractTarget::MoveFile(const std::string& rel, const plat::FolderHandle& from, const std::string& fromName) {
  const Place place = PlaceOf(SplitParts(rel));
  const plat::FolderHandle& folder = place.level->handle;
  bool exists = false;
  if (!place.exists) {
    if (folder.MoveInto(from, fromName, place.name, false, &exists)) {
      Note(*place.level, place.key, place.name);
      return MemberOutcome::Written;
    }
    FailUnlessAFileStands(folder, place.name, exists, errno);
  }
  if (ask_ && !AskOverwrite(WinJoin(place.level->path, place.name))) return MemberOutcome::Declined;
  if (!folder.MoveInto(from, fromName, place.name, true, &exists)) codec::Fail(codec::err::kWrite, ErrnoReason(errno));
  Note(*place.level, place.key, place.name);
  return MemberOutcome::Written;
}

std::string WinJoin(const std::string& folder, const std::string& rel) {
  if (!folder.empty() && plat::FindLastSeparator(folder) == folder.size() - 1) return folder + rel;
  return folder + "\\" + rel;
}

int64_t CExtractTarget::LocalTime(int year, int month, int day, int hour, int minute, int second) {
  auto ask = [](int y, int mo, int d, int h, int mi, int s) {
    struct tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&tm));
  };
  // Minutes and seconds within their hour add to the hour's start; fields out of
  // their ranges are normalised by the zone itself.
  auto within = [](int v, int top) { return v >= 0 && v <= top; };
  if (!within(month, 15) || !within(day, 31) || !within(hour, 31) || !within(minute, 59) || !within(second, 59))
    return ask(year, month, day, hour, minute, second);
  const int64_t key = ((static_cast<int64_t>(year) * 16 + month) * 32 + day) * 32 + hour;
  auto [it, added] = hours_.try_emplace(key, 0);
  if (added) it->second = ask(year, month, day, hour, 0, 0);
  return it->second < 0 ? ask(year, month, day, hour, minute, second) : it->second + minute * 60 + second;
}
