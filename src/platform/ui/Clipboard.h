// The program's own clipboard: formats kept in the order they were put, each a byte
// string (CF_TEXT CP932 text with CR LF lines, CF_DIB a packed bitmap, RTF text).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat {

enum : unsigned { CF_TEXT = 1, CF_DIB = 8, CF_ENHMETAFILE = 14, CF_RTF = 0xC0DE };

class Clipboard {
 public:
  void Empty() { formats_.clear(); }
  // Puts one format, replacing what that format held.
  void SetData(unsigned format, std::string_view data) {
    for (auto& f : formats_) {
      if (f.first == format) {
        f.second.assign(data);
        return;
      }
    }
    formats_.emplace_back(format, std::string(data));
  }
  bool IsFormatAvailable(unsigned format) const { return Find(format) != nullptr; }
  // The data of a format; empty when it is not there.
  std::string GetData(unsigned format) const {
    const std::string* data = Find(format);
    return data ? *data : std::string();
  }
  const std::vector<std::pair<unsigned, std::string>>& Formats() const { return formats_; }

 private:
  const std::string* Find(unsigned format) const {
    for (const auto& f : formats_) {
      if (f.first == format) return &f.second;
    }
    return nullptr;
  }
  std::vector<std::pair<unsigned, std::string>> formats_;
};

}  // namespace plat
