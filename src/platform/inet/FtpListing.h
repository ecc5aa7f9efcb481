// Reading an FTP server's folder listing: MLSD facts ("type=file;size=10; name") or
// a LIST in the Unix ("-rw-r--r-- 1 u g 10 Dec 07 13:23 name") or DOS
// ("12-07-26 01:23PM <DIR> name") form. Server text is hostile input: lines longer
// than kMaxLine, names that are empty or hold control bytes, "." and ".." are
// skipped; sizes that do not parse or overflow are 0; at most kMaxEntries are kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct FtpListEntry {
  std::string name;  // as the server sent it
  bool isDirectory = false;
  int64_t size = 0;
};

constexpr size_t kMaxFtpListLine = 4096;
constexpr size_t kMaxFtpListEntries = 65536;

std::vector<FtpListEntry> ParseFtpListing(std::string_view text, bool mlsd);
// One MLSD line; false when it names nothing to list.
bool ParseMlsdLine(std::string_view line, FtpListEntry& entry);
// One LIST line (Unix or DOS form); false when it names nothing to list.
bool ParseListLine(std::string_view line, FtpListEntry& entry);
