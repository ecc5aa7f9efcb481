// GetPathPart: the pieces of a Windows path (CP932, lead-byte aware separators).
#include "app/QelDoc.h"
#include "platform/os/Files.h"

namespace {

// The index of the last '.' of the file name part, or npos.
size_t ExtensionDot(const std::string& path, size_t nameStart) {
  size_t dot = path.rfind('.');
  return dot == std::string::npos || dot < nameStart ? std::string::npos : dot;
}

}  // namespace

std::string CQelDoc::GetPathPart(std::string path, PathPart part) {
  const size_t sep = plat::FindLastSeparator(path);
  const size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
  const std::string name = path.substr(nameStart);
  const size_t dot = ExtensionDot(path, nameStart);
  switch (part) {
    case PathPart::kName:
      return name;
    case PathPart::kStem:
      return dot == std::string::npos ? name : path.substr(nameStart, dot - nameStart);
    case PathPart::kFolder:
      return sep == std::string::npos ? std::string() : path.substr(0, sep);
    case PathPart::kPlainName: {
      // A protected source's extension starts with its marker: "a.+rtf" is "a.rtf".
      if (dot != std::string::npos && dot + 1 < path.size()) {
        const char marker = path[dot + 1];
        if (marker == '+' || marker == '-' || marker == '=') {
          return path.substr(nameStart, dot + 1 - nameStart) + path.substr(dot + 2);
        }
      }
      return name;
    }
    case PathPart::kExtension:
      return dot == std::string::npos ? std::string() : path.substr(dot + 1);
    case PathPart::kWithoutExtension:
      return dot == std::string::npos ? path : path.substr(0, dot);
  }
  return path;
}
