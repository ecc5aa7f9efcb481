#include "PdfTestSupport.h"

#include <zlib.h>

#include <algorithm>

#include "platform/text/CodePage.h"

namespace pdftest {

std::string PdfTest::Load(const std::string& winPath) {
  doc_->LoadDocument(winPath);
  return plat::Cp932ToUtf8(Text());
}

std::string MakePdf(const std::vector<std::string>& objects, int root) {
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  for (size_t i = 0; i < objects.size(); ++i) pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root " + std::to_string(root) + " 0 R >>\n%%EOF\n";
  return pdf;
}

std::string Stream(const std::string& entries, const std::string& data) {
  return "<< " + entries + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

std::string Deflate(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()));
  out.resize(size);
  return out;
}

std::vector<std::string> Pages(const std::string& text) {
  std::vector<std::string> pages(1);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.rfind(" --P", 0) == 0 && line.find("-----") != std::string::npos) pages.emplace_back();
    else pages.back() += line + "\n";
    start = end + 1;
  }
  return pages;
}

std::vector<std::string> ReferencePages(const std::string& text) {
  std::vector<std::string> pages(1);
  for (char c : text) {
    if (c == '\f') pages.emplace_back();
    else pages.back() += c;
  }
  while (pages.size() > 1 && pages.back().find_first_not_of(" \r\n") == std::string::npos) pages.pop_back();
  return pages;
}

std::vector<std::string> Tokens(const std::string& s) {
  std::vector<std::string> tokens;
  std::string word;
  auto flush = [&]() {
    if (!word.empty()) tokens.push_back(word);
    word.clear();
  };
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      if (std::isalnum(c)) word += static_cast<char>(c);
      else flush();
      ++i;
      continue;
    }
    flush();
    const size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    const std::string ch = s.substr(i, n);
    // Full-width blanks and punctuation differ between readers; letters count.
    if (ch != "\xE3\x80\x80") tokens.push_back(ch);
    i += n;
  }
  flush();
  return tokens;
}

double OrderedRecall(const std::vector<std::string>& ours, const std::vector<std::string>& reference) {
  if (reference.empty()) return 1.0;
  std::vector<int> row(ours.size() + 1, 0), prev(ours.size() + 1, 0);
  for (const std::string& r : reference) {
    for (size_t j = 1; j <= ours.size(); ++j) row[j] = r == ours[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], row[j - 1]);
    std::swap(row, prev);
  }
  return static_cast<double>(prev[ours.size()]) / static_cast<double>(reference.size());
}

}  // namespace pdftest
