#include "archive/ExtractTarget.h"

#include <ctime>
#include <optional>
#include <vector>

#include "archive/ArchivePaths.h"
#include "archive/Overwrite.h"
#include "codec/CodecError.h"
#include "codec/ErrorCodes.h"
#include "platform/text/CodePage.h"

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

}  // namespace

void CFileSink::Put(const uint8_t* data, size_t n) { CODEC_CHECK(file_.Write(data, static_cast<int64_t>(n)), codec::err::kWrite); }

CExtractTarget::CExtractTarget(std::string folder, bool askOverwrite) : folder_(std::move(folder)), ask_(askOverwrite) {
  while (folder_.size() > 1 && plat::FindLastSeparator(folder_) == folder_.size() - 1) folder_.pop_back();
}

CExtractTarget::Listing& CExtractTarget::ListingOf(const std::string& folder) {
  auto [it, added] = listings_.try_emplace(folder);
  if (!added) return it->second;
  if (auto entries = plat::ListDirectory(folder)) {
    for (const plat::DirEntry& e : *entries) {
      if (!e.nameExact) continue;  // a host name no member name can equal
      it->second.emplace(plat::FoldNameCase(e.name), Entry{e.name, e.isDirectory, e.isSymlink});
    }
  }
  return it->second;
}

std::optional<std::string> CExtractTarget::EnterFolders(const std::vector<std::string>& parts, size_t count) {
  std::string current = folder_;
  for (size_t i = 0; i < count; ++i) {
    Listing& listing = ListingOf(current);
    const std::string key = plat::FoldNameCase(parts[i]);
    auto found = listing.find(key);
    if (found == listing.end()) {
      const std::string made = WinJoin(current, parts[i]);
      if (!plat::MakeDirectoryAsSpelled(made)) {
        // Made meanwhile by someone else: only a real folder will do.
        std::optional<plat::FileInfo> st = plat::LinkStat(made);
        if (!st || !st->isDirectory || st->isSymlink) return std::nullopt;
      } else {
        listings_.try_emplace(made);  // new and empty: nothing to read
      }
      found = listing.emplace(key, Entry{parts[i], true, false}).first;
    }
    if (found->second.isLink || !found->second.isDirectory) return std::nullopt;
    current = WinJoin(current, found->second.name);
  }
  return current;
}

bool CExtractTarget::MakeFolders(const std::string& rel) {
  const std::vector<std::string> parts = SplitParts(rel);
  return EnterFolders(parts, parts.size()).has_value();
}

CExtractTarget::Place CExtractTarget::PlaceOf(const std::string& rel) {
  const std::vector<std::string> parts = SplitParts(rel);
  CODEC_CHECK(!parts.empty(), codec::err::kWrite);
  std::optional<std::string> folder = EnterFolders(parts, parts.size() - 1);
  CODEC_CHECK(folder.has_value(), codec::err::kWrite);
  Listing& listing = ListingOf(*folder);
  Place place{*folder, "", plat::FoldNameCase(parts.back()), parts.back(), false};
  auto found = listing.find(place.key);
  if (found != listing.end()) {
    // A folder stands in the way; a link of the name is replaced as a file would be
    // (the rename replaces the link itself, never what it points to).
    CODEC_CHECK(!found->second.isDirectory, codec::err::kWrite);
    place.name = found->second.name;
    place.exists = true;
  }
  place.target = WinJoin(place.folder, place.name);
  return place;
}

MemberOutcome CExtractTarget::WriteFile(const std::string& rel, const std::function<void(codec::CByteSink&)>& decode,
                                        bool keepPartial, std::string* path) {
  const Place place = PlaceOf(rel);
  if (path) *path = place.target;
  if (place.exists && ask_ && !AskOverwrite(place.target)) return MemberOutcome::Declined;
  plat::WorkFile work;
  CODEC_CHECK(work.Create(place.folder), codec::err::kWrite);
  CFileSink sink(work.Out());
  try {
    decode(sink);
  } catch (const codec::CodecError&) {
    if (keepPartial) work.CommitAs(place.target, true);
    throw;
  }
  CODEC_CHECK(work.CommitAs(place.target, true), codec::err::kWrite);
  ListingOf(place.folder).try_emplace(place.key, Entry{place.name, false, false});
  return MemberOutcome::Written;
}

MemberOutcome CExtractTarget::MoveFile(const std::string& rel, const std::string& from, std::string* path) {
  const Place place = PlaceOf(rel);
  if (path) *path = place.target;
  if (place.exists && ask_ && !AskOverwrite(place.target)) return MemberOutcome::Declined;
  CODEC_CHECK(plat::RenameFile(from, place.target, true), codec::err::kWrite);
  ListingOf(place.folder).try_emplace(place.key, Entry{place.name, false, false});
  return MemberOutcome::Written;
}

std::string WinJoin(const std::string& folder, const std::string& rel) {
  if (!folder.empty() && plat::FindLastSeparator(folder) == folder.size() - 1) return folder + rel;
  return folder + "\\" + rel;
}

bool StaysInside(const std::string& folder, const std::string& rel) {
  std::vector<uint8_t> mask = MakeSjisLeadMask(rel, rel.size());
  for (size_t i = 0; i <= rel.size(); ++i) {
    if (i < rel.size() && (mask[i] || rel[i] != '\\')) continue;
    std::optional<plat::FileInfo> st = plat::LinkStat(WinJoin(folder, rel.substr(0, i)));
    if (!st) return true;  // nothing further exists
    if (st->isSymlink) return false;
  }
  return true;
}

int64_t LocalTimeOf(int year, int month, int day, int hour, int minute, int second) {
  struct tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&tm));
}
