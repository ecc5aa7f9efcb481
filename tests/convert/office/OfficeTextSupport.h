// Helpers of the Word, PowerPoint, RTF and mail tests: loading a fixture of
// tests/data/office (or of the shared corpus) and comparing the words of the
// display text with a peer tool's reading of the same file.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "convert/dump/DumpTestSupport.h"
#include "platform/text/CodePage.h"

namespace officetext {

class OfficeTextTest : public dumptest::DumpTest {
 protected:
  static std::string Fixture(const std::string& name) { return testenv::ReadHostFile(testenv::DataPath("office/" + name)); }
  // The display text of a fixture loaded under the given name, in UTF-8.
  std::string ShowUtf8(const std::string& name, const std::string& as = "") {
    return plat::Cp932ToUtf8(Show(as.empty() ? name : as, Fixture(name)));
  }
  std::string ShowBytesUtf8(const std::string& name, const std::string& bytes) { return plat::Cp932ToUtf8(Show(name, bytes)); }
};

inline std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

// The words of the reference that the text does not hold in the same order.
inline std::vector<std::string> MissingWords(const std::string& reference, const std::string& text) {
  std::vector<std::string> missing;
  size_t at = 0;
  for (const std::string& w : Words(reference)) {
    const size_t found = text.find(w, at);
    if (found == std::string::npos) {
      missing.push_back(w);
    } else {
      at = found + w.size();
    }
  }
  return missing;
}

inline std::string Join(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

}  // namespace officetext
