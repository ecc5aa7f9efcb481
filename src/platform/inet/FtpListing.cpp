#include "platform/inet/FtpListing.h"

#include <charconv>

#include "base/AsciiCase.h"

namespace {

int64_t ParseSize(std::string_view text) {
  int64_t n = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  return ec == std::errc() && ptr == text.data() + text.size() && n >= 0 ? n : 0;
}

bool Listable(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '/') return false;
  }
  return true;
}

// The next blank-separated word of rest; rest moves past it and the blanks after it.
std::string_view NextWord(std::string_view& rest) {
  size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  size_t end = rest.find(' ', start);
  if (end == std::string_view::npos) end = rest.size();
  std::string_view word = rest.substr(start, end - start);
  rest.remove_prefix(end);
  return word;
}

}  // namespace

bool ParseMlsdLine(std::string_view line, FtpListEntry& entry) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return false;
  std::string_view facts = line.substr(0, blank);
  const std::string_view name = line.substr(blank + 1);
  entry = FtpListEntry{};
  bool typed = false;
  while (!facts.empty()) {
    const size_t semi = facts.find(';');
    const std::string_view fact = facts.substr(0, semi);
    facts.remove_prefix(semi == std::string_view::npos ? facts.size() : semi + 1);
    const size_t eq = fact.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = fact.substr(0, eq);
    const std::string_view value = fact.substr(eq + 1);
    if (EqualsNoCase(key, "type")) {
      if (EqualsNoCase(value, "cdir") || EqualsNoCase(value, "pdir")) return false;
      entry.isDirectory = EqualsNoCase(value, "dir");
      typed = true;
    } else if (EqualsNoCase(key, "size")) {
      entry.size = ParseSize(value);
    }
  }
  if (!typed || !Listable(name)) return false;
  entry.name = std::string(name);
  return true;
}

bool ParseListLine(std::string_view line, FtpListEntry& entry) {
  entry = FtpListEntry{};
  std::string_view rest = line;
  const std::string_view first = NextWord(rest);
  if (first.empty() || first == "total") return false;
  if (first.size() >= 8 && first[2] == '-' && first[5] == '-') {
    // DOS form: date, time, "<DIR>" or size, name.
    NextWord(rest);
    const std::string_view what = NextWord(rest);
    const size_t start = rest.find_first_not_of(' ');
    if (what.empty() || start == std::string_view::npos) return false;
    const std::string_view name = rest.substr(start);
    entry.isDirectory = what == "<DIR>";
    if (!entry.isDirectory) entry.size = ParseSize(what);
    if (!Listable(name)) return false;
    entry.name = std::string(name);
    return true;
  }
  // Unix form: mode, links, owner, group, size, month, day, time or year, name.
  const char type = first[0];
  if (type != '-' && type != 'd' && type != 'l') return false;
  std::string_view words[7];
  for (auto& w : words) {
    w = NextWord(rest);
    if (w.empty()) return false;
  }
  const size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) return false;
  std::string_view name = rest.substr(start);
  if (type == 'l') {
    const size_t arrow = name.find(" -> ");
    if (arrow != std::string_view::npos) name = name.substr(0, arrow);
  }
  entry.isDirectory = type == 'd';
  entry.size = ParseSize(words[3]);
  if (!Listable(name)) return false;
  entry.name = std::string(name);
  return true;
}

std::vector<FtpListEntry> ParseFtpListing(std::string_view text, bool mlsd) {
  std::vector<FtpListEntry> entries;
  while (!text.empty() && entries.size() < kMaxFtpListEntries) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxFtpListLine) continue;
    FtpListEntry entry;
    if (mlsd ? ParseMlsdLine(line, entry) : ParseListLine(line, entry)) entries.push_back(std::move(entry));
  }
  return entries;
}
