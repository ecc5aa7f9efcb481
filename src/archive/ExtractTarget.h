// Writing unpacked members below a target folder: the member's file, its folders,
// and the check that no existing part of its path is a symbolic link (which could
// carry the write outside the folder).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/codec/ByteSink.h"
#include "platform/Files.h"

// Writes member bytes to a file; a failed write is the codec's output error codec::err::kWrite.
class CFileSink : public codec::CByteSink {
 public:
  explicit CFileSink(plat::File& file) : file_(file) {}
  void Put(const uint8_t* data, size_t n) override;

 private:
  plat::File& file_;
};

// Writes one member's file at path (its folders made first): decode writes the
// bytes into the sink it is given. A file that cannot be made is codec::err::kWrite.
void WriteMemberFile(const std::string& path, const std::function<void(codec::CByteSink&)>& decode,
                     bool keepPartial = false);
// folder + '\' + rel (Windows paths).
std::string WinJoin(const std::string& folder, const std::string& rel);
// True when no existing part of rel below folder is a symbolic link.
bool StaysInside(const std::string& folder, const std::string& rel);
// Seconds since 1970 of a local date and time; -1 when it cannot be formed.
int64_t LocalTimeOf(int year, int month, int day, int hour, int minute, int second);
