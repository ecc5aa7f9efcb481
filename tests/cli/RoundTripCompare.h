// What the LibreOffice round-trip tests compare: the words two texts share and the
// pictures of a flat document.
#pragma once

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace clitest {

// The share of a's blank-separated words that b holds (each word of b counted once).
inline double WordsKept(const std::string& a, const std::string& b) {
  std::map<std::string, int> have;
  std::istringstream bs(b);
  for (std::string w; bs >> w;) ++have[w];
  int total = 0, kept = 0;
  std::istringstream as(a);
  for (std::string w; as >> w;) {
    ++total;
    if (have[w]-- > 0) ++kept;
  }
  return total == 0 ? 0.0 : static_cast<double>(kept) / total;
}

// The pictures of a flat document, their base64 data without line ends.
inline std::vector<std::string> Pictures(const std::string& fodt) {
  std::vector<std::string> pictures;
  const std::string open = "<office:binary-data>", close = "</office:binary-data>";
  for (size_t at = fodt.find(open); at != std::string::npos; at = fodt.find(open, at + 1)) {
    const size_t end = fodt.find(close, at);
    if (end == std::string::npos) break;
    std::string data = fodt.substr(at + open.size(), end - at - open.size());
    std::erase_if(data, [](char c) { return c == '\n' || c == '\r' || c == ' '; });
    pictures.push_back(data);
  }
  return pictures;
}

}  // namespace clitest
