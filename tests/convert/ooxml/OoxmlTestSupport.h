// Helpers of the Office Open XML tests: loading a package as the document, packages
// built with the zip program, and the reading of a peer tool compared line by line.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace ooxmltest {

class OoxmlTest : public testenv::DocTest {
 protected:
  std::string ShowPath(const std::string& winPath) {
    doc_->LoadDocument(winPath);
    return Text();
  }
  std::string ShowData(const std::string& name) { return ShowPath(plat::FromHostPath(testenv::DataPath("office/" + name))); }
  // A package of the given members (name, UTF-8 or raw bytes), made by zip.
  std::string Package(const std::string& name, const std::vector<std::pair<std::string, std::string>>& members) {
    plat::SetCurrentDirectory("\\");  // the last package's work folder may be gone
    const std::string folder = dir_.HostPath("pkg-" + name);
    testenv::Shell("rm -rf " + testenv::Quote(folder) + " && mkdir -p " + testenv::Quote(folder));
    for (const auto& [member, bytes] : members) {
      const std::string path = folder + "/" + member;
      testenv::Shell("mkdir -p " + testenv::Quote(path.substr(0, path.rfind('/'))));
      testenv::WriteHostFile(path, bytes);
    }
    testenv::Shell("cd " + testenv::Quote(folder) + " && zip -qr " + testenv::Quote(dir_.HostPath(name)) + " .");
    return Win(name);
  }
};

inline std::string Sjis(const std::string& utf8) { return plat::Utf8ToCp932Lossy(utf8); }

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, at - start));
    start = at + 2;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

inline std::string WithoutBlanks(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ' ' && c != '\r' && c != '\n' && c != '\t' && c != '\f') out += c;
  return out;
}

// Every non-empty line of the peer's reading (UTF-8), blanks removed, is found in
// the text (blanks removed) after the one before it; lines listed in `elsewhere`
// need only be found somewhere.
inline ::testing::AssertionResult LinesInOrder(const std::string& text, std::string reference,
                                               const std::vector<std::string>& elsewhere = {}) {
  if (reference.rfind("\xEF\xBB\xBF", 0) == 0) reference.erase(0, 3);
  const std::string flat = WithoutBlanks(text);
  size_t from = 0;
  size_t start = 0;
  while (start < reference.size()) {
    size_t end = reference.find('\n', start);
    if (end == std::string::npos) end = reference.size();
    const std::string line = Sjis(WithoutBlanks(reference.substr(start, end - start)));
    start = end + 1;
    if (line.empty()) continue;
    bool anywhere = false;
    for (const std::string& e : elsewhere) anywhere = anywhere || Sjis(WithoutBlanks(e)) == line;
    const size_t at = flat.find(line, anywhere ? 0 : from);
    if (at == std::string::npos)
      return ::testing::AssertionFailure() << "not found in order: " << plat::Cp932ToUtf8(line);
    if (!anywhere) from = at + line.size();
  }
  return ::testing::AssertionSuccess();
}

// The column of needle in the line, or npos.
inline size_t Column(const std::string& line, const std::string& needle) { return line.find(Sjis(needle)); }

// The first line holding needle (UTF-8), or "".
inline std::string LineWith(const std::string& text, const std::string& needle) {
  for (const std::string& line : Lines(text))
    if (line.find(Sjis(needle)) != std::string::npos) return line;
  return "";
}

}  // namespace ooxmltest
