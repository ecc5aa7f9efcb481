// Addresses without "://" against the page shown: a reference such as "foo.htm",
// "../a/b.htm" or "/top.htm" names a place of that page's server, the way a link of
// the page would; it is never taken for a host name.
#include <filesystem>
#include <vector>

#include "base/AsciiCase.h"
#include "net/Address.h"
#include "platform/inet/Inet.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A path with its "." and ".." segments worked out ("/a/b/../c" is "/a/c"); a last
// "." or ".." leaves the folder ("/a/b/.." is "/a/").
std::string RemoveDotSegments(const std::string& path) {
  std::vector<std::string> kept;
  for (size_t start = 1;;) {
    size_t end = path.find('/', start);
    const bool last = end == std::string::npos;
    if (last) end = path.size();
    const std::string segment = path.substr(start, end - start);
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
    } else if (segment != ".") {
      kept.push_back(segment);
    }
    if (last) {
      if (segment == "." || segment == "..") kept.emplace_back();
      break;
    }
    start = end + 1;
  }
  std::string out;
  for (const std::string& s : kept) out += "/" + s;
  return out.empty() ? "/" : out;
}

}  // namespace

bool HasScheme(const std::string& address) {
  if (address.empty() || !IsAsciiLetter(address[0])) return false;
  for (char c : address) {
    if (c == ':') return true;
    if (!IsAsciiLetter(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return false;
}

std::string ResolveAddress(const std::string& base, const std::string& reference) {
  if (HasScheme(reference)) return "";
  const size_t scheme = base.find("://");
  if (scheme == std::string::npos) return "";
  // The base's origin ("http://host:port"), its path, and its path without the query.
  const size_t pathStart = base.find_first_of("/?#", scheme + 3);
  const std::string origin = base.substr(0, pathStart);
  std::string path = pathStart == std::string::npos ? "/" : base.substr(pathStart);
  path = path.substr(0, path.find('#'));
  if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
  const std::string plainPath = path.substr(0, path.find('?'));

  if (reference.starts_with("//")) return base.substr(0, scheme + 1) + reference;
  if (reference.empty() || reference[0] == '#') return origin + path + reference;
  if (reference[0] == '?') return origin + plainPath + reference;
  // The reference's own path, then what follows it.
  const size_t tail = reference.find_first_of("?#");
  const std::string refPath = reference.substr(0, tail);
  const std::string rest = tail == std::string::npos ? "" : reference.substr(tail);
  const std::string merged = refPath[0] == '/' ? refPath : plainPath.substr(0, plainPath.rfind('/') + 1) + refPath;
  return origin + RemoveDotSegments(merged) + rest;
}

namespace {

bool IsLocalPath(const std::string& text) {
  return text.starts_with("\\") ||
         (text.size() >= 3 && IsAsciiLetter(text[0]) && text[1] == ':' && (text[2] == '\\' || text[2] == '/'));
}

}  // namespace

std::string PaneAddress(const std::string& base, const std::string& address, std::string* why) {
  const bool webBase = base.find("://") != std::string::npos;
  if (IsLocalPath(address) || (address.starts_with("/") && !webBase)) return address;
  if (address == "about:blank") return address;
  if (HasScheme(address)) {
    *why = address.substr(0, address.find(':') + 1) + " addresses are not shown here";
    return "";
  }
  const bool otherScheme = !webBase && HasScheme(base) && !IsLocalPath(base);
  if (base.empty() || base == "about:blank" || otherScheme) {
    *why = "there is no page shown to resolve it against";
    return "";
  }
  if (webBase) return ResolveAddress(base, address);
  // A local page's neighbour, as a file address (the pane reads those; a path that
  // begins with '\' it does not show).
  const std::optional<std::string> host = plat::ToHostPath(base);
  std::error_code error;
  const std::filesystem::path full = host ? std::filesystem::absolute(*host, error) : std::filesystem::path();
  if (!host || error) {
    *why = "the page shown has no address to resolve it against";
    return "";
  }
  // Both written as a browser writes file addresses: UTF-8, escaped.
  return ResolveAddress("file://" + PercentEncodePath(full.string()), PercentEncodePath(plat::Cp932ToUtf8(address)));
}
