// Comparison helpers of the workbook tests: LibreOffice's CSV, our cell-list form,
// and a cell as shown by us against LibreOffice's "as shown" text of it.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text/CodePage.h"

namespace sheetcompare {

using Grid = std::vector<std::vector<std::string>>;

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at <= text.size()) {
    const size_t end = text.find("\r\n", at);
    out.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return out;
}

inline Grid ReadCsv(const std::string& text) {
  Grid grid(1);
  std::string cell;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') cell += text[++i];
      else if (c == '"') quoted = false;
      else cell += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      grid.back().push_back(cell);
      cell.clear();
    } else if (c == '\n') {
      grid.back().push_back(cell);
      cell.clear();
      grid.emplace_back();
    } else if (c != '\r') {
      cell += c;
    }
  }
  if (!cell.empty()) grid.back().push_back(cell);
  if (grid.back().empty()) grid.pop_back();
  return grid;
}

// The cell-list form: sheets of rows of cells (UTF-8).
inline std::vector<Grid> ReadCellList(const std::string& sjis) {
  std::vector<Grid> sheets(1);
  for (const std::string& line : SplitLines(plat::Cp932ToUtf8(sjis.substr(0, sjis.find('\0'))))) {
    if (line.rfind("!*[Sheet", 0) == 0) {
      sheets.emplace_back();
      continue;
    }
    std::vector<std::string> row;
    std::string cell;
    for (char c : line) {
      if (c == '\x06') {
        row.push_back(cell);
        cell.clear();
      } else {
        cell += c;
      }
    }
    row.push_back(cell);
    sheets.back().push_back(row);
  }
  return sheets;
}

inline bool Number(std::string s, double& v) {
  std::string t;
  for (char c : s) {
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.') t += c;
    else if (c != ',' && c != ' ' && c != '%' && c != '\\' && c != '$') {
      if (s.rfind("￥", 0) == 0 && t.empty()) continue;
      if (!(static_cast<unsigned char>(c) >= 0x80)) return false;
    }
  }
  if (t.empty()) return false;
  v = std::strtod(t.c_str(), nullptr);
  return true;
}

// Year (last two digits), month and day of "2024/3/5", "'24- 3- 5" or "...2年5月1日".
inline bool DateParts(const std::string& s, int& y, int& m, int& d) {
  if (std::sscanf(s.c_str(), "'%d-%d-%d", &y, &m, &d) == 3) return true;
  if (std::sscanf(s.c_str(), "%d/%d/%d", &y, &m, &d) == 3) {
    y %= 100;
    return true;
  }
  const size_t nen = s.find("年");
  if (nen != std::string::npos && std::sscanf(s.c_str() + nen + 3, "%d月%d日", &m, &d) == 2) {
    y = -1;
    return true;
  }
  return false;
}

// A cell as shown by us against LibreOffice's "as shown" text of it.
inline bool SameCell(std::string ours, const std::string& lo) {
  while (!ours.empty() && ours.front() == ' ') ours.erase(0, 1);
  if (ours == lo) return true;
  int h1, n1, h2, n2;
  if (ours.find(':') != std::string::npos && std::sscanf(ours.c_str(), "%d:%d", &h1, &n1) == 2 &&
      std::sscanf(lo.c_str(), "%d:%d", &h2, &n2) == 2) {
    return h1 == h2 && n1 == n2;
  }
  int y1, m1, d1, y2, m2, d2;
  if (DateParts(ours, y1, m1, d1) && DateParts(lo, y2, m2, d2)) return (y2 < 0 || y1 == y2) && m1 == m2 && d1 == d2;
  double a, b;
  if (Number(ours, a) && Number(lo, b)) return std::fabs(a - b) <= 0.006 + std::fabs(b) * 1e-9;
  return false;
}

}  // namespace sheetcompare
