// An FTP server's folder listing. The first byte picks MLSD facts or a LIST; the
// rest is the server's text. Every entry must name something listable within the
// bounds the parser promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/inet/FtpListing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool mlsd = data[0] & 1;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto entries = ParseFtpListing(text, mlsd);
  if (entries.size() > kMaxFtpListEntries) std::abort();
  for (const auto& e : entries) {
    if (e.name.empty() || e.name.size() > kMaxFtpListLine || e.size < 0) std::abort();
    if (e.name == "." || e.name == ".." || e.name.find('/') != std::string::npos) std::abort();
  }
  return 0;
}
