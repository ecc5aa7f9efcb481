// The workbook reader's searches on a part's Shift-JIS text.
#include "convert/ooxml/xlsx/XlsxScan.h"

#include <algorithm>
#include <cstdint>

#include "convert/ooxml/XmlCharRef.h"
#include "platform/text/CodePage.h"

namespace xlsx {

View Attr(View part, size_t at, View name) {
  if (at >= part.size()) return {};
  const size_t end = part.find('>', at);
  const View element = part.substr(at, end == View::npos ? View::npos : end - at);
  size_t p = 0;
  while ((p = element.find(name, p)) != View::npos) {
    if (p == 0 || element[p - 1] == ' ' || element[p - 1] == '\t' || element[p - 1] == '\n' || element[p - 1] == '\r') break;
    p += name.size();
  }
  if (p == View::npos) return {};
  const size_t from = p + name.size();
  const size_t close = element.find('"', from);
  return element.substr(from, close == View::npos ? View::npos : close - from);
}

int ToInt(View v, int fallback) {
  if (v.empty()) return fallback;
  int64_t n = 0;
  size_t i = 0;
  const bool negative = v[0] == '-';
  if (negative) ++i;
  bool any = false;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    n = std::min<int64_t>(n * 10 + (v[i] - '0'), INT32_MAX);
    any = true;
  }
  return any ? static_cast<int>(negative ? -n : n) : fallback;
}

bool TagAt(View part, size_t at, View name) {
  if (at >= part.size() || part[at] != '<') return false;
  size_t p = at + 1;
  if (!name.empty() && name[0] == '/') {
    if (p >= part.size() || part[p] != '/') return false;
    ++p;
    name.remove_prefix(1);
  }
  for (size_t q = p; q < part.size() && q < p + 16; ++q) {
    const char c = part[q];
    if (c == ':') {
      p = q + 1;
      break;
    }
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) break;
  }
  if (part.compare(p, name.size(), name) != 0) return false;
  const size_t after = p + name.size();
  return after >= part.size() || part[after] == ' ' || part[after] == '>' || part[after] == '/' || part[after] == '\t' ||
         part[after] == '\r' || part[after] == '\n';
}

size_t FindTag(View part, size_t from, View name, size_t end) {
  end = std::min(end, part.size());
  for (size_t at = part.find('<', from); at != View::npos && at < end; at = part.find('<', at + 1)) {
    if (TagAt(part, at, name)) return at;
  }
  return View::npos;
}

void AppendText(View text, std::string& out, size_t limit, char lineEnd) {
  for (size_t i = 0; i < text.size() && out.size() < limit;) {
    auto c = static_cast<uint8_t>(text[i]);
    if (IsSjisLeadByte(c) && i + 1 < text.size()) {
      if (out.size() + 2 > limit) break;
      out.append(text.substr(i, 2));
      i += 2;
      continue;
    }
    if (c == '&') {
      static constexpr struct { View name; char c; } kEntities[] = {
          {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
      bool done = false;
      for (const auto& e : kEntities) {
        if (text.compare(i, e.name.size(), e.name) == 0) {
          c = static_cast<uint8_t>(e.c);
          i += e.name.size() - 1;
          done = true;
          break;
        }
      }
      std::string ref;
      if (const size_t n = done ? 0 : DecodeXmlCharRef(text, i, ref); n > 0) {
        if (ref.size() == 1) {
          c = static_cast<uint8_t>(ref[0]);  // an ASCII character or control byte: as written
          i += n - 1;
        } else {
          if (out.size() + ref.size() > limit) break;
          out += ref;
          i += n;
          continue;
        }
      }
    }
    ++i;
    if (c == '\r') {
      if (i < text.size() && text[i] == '\n') ++i;
      c = '\n';
    }
    if (c == '\n') out.push_back(lineEnd);
    else if (c < 0x20) out.push_back(' ');
    else out.push_back(static_cast<char>(c));
  }
}

int ElementInt(View part, size_t from, size_t end, View name, int fallback) {
  const size_t at = FindTag(part, from, name, end);
  if (at == View::npos) return fallback;
  const size_t open = part.find('>', at);
  if (open == View::npos || open >= std::min(end, part.size())) return fallback;
  return ToInt(part.substr(open + 1, 24), fallback);
}

}  // namespace xlsx
