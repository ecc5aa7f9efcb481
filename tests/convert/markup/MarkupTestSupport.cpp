#include "convert/markup/MarkupTestSupport.h"

#include <cctype>
#include <sstream>

namespace markuptest {

namespace {

constexpr std::string_view kLinkHeading = "\n\n--address----------------------------------\n\n";

}  // namespace

std::string Body(const std::string& text) {
  const size_t at = text.rfind(kLinkHeading);
  return at == std::string::npos ? text : text.substr(0, at);
}

std::vector<std::string> LinkList(const std::string& text) {
  const size_t at = text.rfind(kLinkHeading);
  if (at == std::string::npos) return {};
  return Lines(text.substr(at + kLinkHeading.size()));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Letters(const std::string& utf8, bool ownMarks) {
  std::string text = utf8;
  if (ownMarks) {
    // Link labels " @07:" and image tags; the other marks are punctuation.
    for (size_t at; (at = text.find(" @")) != std::string::npos && at + 4 < text.size() && text[at + 4] == ':';) {
      text.erase(at, 5);
    }
    for (const char* tag : {"<image>", "<a-img>"}) {
      for (size_t at; (at = text.find(tag)) != std::string::npos;) text.erase(at, std::string_view(tag).size());
    }
  }
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (std::isalnum(c)) out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    const size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    const std::string ch = text.substr(i, n);
    i += n;
    const bool boxDrawing = ch.size() == 3 && static_cast<unsigned char>(ch[0]) == 0xE2 &&
                            (static_cast<unsigned char>(ch[1]) == 0x94 || static_cast<unsigned char>(ch[1]) == 0x95);
    if (boxDrawing || ch == "\u2022" || ch == "\u30FB") continue;
    out += ch;
  }
  return out;
}

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  for (char c : line) {
    if (c == '|') {
      const size_t first = cell.find_first_not_of(' ');
      const size_t last = cell.find_last_not_of(' ');
      cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
      cell.clear();
    } else {
      cell.push_back(c);
    }
  }
  return cells;
}

}  // namespace markuptest
