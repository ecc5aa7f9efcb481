#include "archive/ExtractTarget.h"

#include <ctime>
#include <optional>
#include <vector>

#include "archive/ArchivePaths.h"
#include "archive/codec/CodecError.h"

void CFileSink::Put(const uint8_t* data, size_t n) { CODEC_CHECK(file_.Write(data, static_cast<int64_t>(n)), codec::err::kWrite); }

void WriteMemberFile(const std::string& path, const std::function<void(codec::CByteSink&)>& decode, bool keepPartial) {
  const size_t sep = plat::FindLastSeparator(path);
  if (sep != std::string::npos) MakeDirectoryPath(path.substr(0, sep));
  plat::File out;
  CODEC_CHECK(out.Open(path, plat::File::Mode::Write), codec::err::kWrite);
  CFileSink sink(out);
  try {
    decode(sink);
  } catch (const codec::CodecError&) {
    out.Close();
    if (!keepPartial) plat::RemoveFile(path);
    throw;
  }
  out.Close();
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
