#include "archive/pack/FileSpec.h"

#include <algorithm>

#include "archive/ArchivePaths.h"
#include "base/AsciiCase.h"
#include "platform/os/Files.h"

namespace {

bool Glob(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesFileSpec(std::string_view name, std::string_view pattern) {
  if (Glob(name, pattern)) return true;
  // "x*.*" matches "xyz": a trailing ".*" may match nothing when the name has no dot.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" && name.find('.') == std::string_view::npos)
    return Glob(name, pattern.substr(0, pattern.size() - 2));
  return false;
}

std::vector<std::string> ExpandFileSpec(std::string_view base, std::string_view fileSpec, std::vector<std::string>* unnamed) {
  const size_t sep = plat::FindLastSeparator(fileSpec);
  const std::string_view last = sep == std::string_view::npos ? fileSpec : fileSpec.substr(sep + 1);
  if (last.find_first_of("*?") == std::string_view::npos) return {std::string(fileSpec)};
  const std::string folder = sep == std::string_view::npos ? std::string() : std::string(fileSpec.substr(0, sep + 1));
  // Links are named too: the packers leave them out and say so.
  std::vector<std::string> inexact;
  std::vector<std::string> names = ListFolderNames(InFolder(base, folder.empty() ? "." : folder), true, &inexact);
  std::sort(names.begin(), names.end());
  std::vector<std::string> out;
  for (const std::string& name : names)
    if (MatchesFileSpec(name, last)) out.push_back(folder + name);
  if (unnamed) {
    for (const std::string& name : inexact) {
      const bool isFolder = !name.empty() && name.back() == '/';
      if (MatchesFileSpec(isFolder ? name.substr(0, name.size() - 1) : name, last)) unnamed->push_back(folder + name);
    }
  }
  return out;
}
