// FileKind: the kind of a file from its extension.
#include <algorithm>
#include <cctype>
#include <string_view>

#include "app/QelDoc.h"

namespace {

struct ExtensionKind {
  std::string_view extension;  // lower case, without the dot
  int kind;
};

constexpr ExtensionKind kKinds[] = {
    {"ppt", 1},   {"pot", 1},   {"obd", 1},                            // binary presentation
    {"doc", 2},                                                         // binary Word
    {"xls", 3},                                                         // binary workbook
    {"rtf", 4},                                                         // rich text
    {"htm", 6},   {"html", 6},                                          // HTML
    {"txt", 9},                                                         // text
    {"pdf", 11},                                                        //
    {"bmp", 12},  {"jpg", 13},  {"jpeg", 13}, {"png", 14}, {"gif", 15}, // images
    {"tif", 16},  {"tiff", 16}, {"bmz", 22},  {"wmf", 27}, {"emf", 28}, //
    {"msg", 32},  {"oft", 32},                                          // mail
    {"csv", 33},                                                        // comma-separated table
    {"xml", 34},                                                        // spreadsheet XML
    {"xlsx", 36}, {"docx", 37}, {"pptx", 38},                           // Office Open XML
    {"mid", 51},  {"midi", 51}, {"wav", 52},                            // media
    {"avi", 53},  {"wmv", 53},  {"mov", 53},                            //
    {"mpg", 54},  {"mpeg", 54}, {"mp4", 55},                            //
    {"mp3", 56},  {"wma", 56},                                          //
    {"mcr", 98},                                                        // list macros
};

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

}  // namespace

int CQelDoc::GetFileKind(std::string path) const {
  const std::string name = GetPathPart(path, 1);
  if (name.empty()) return 0;
  const std::string ext = Lower(GetPathPart(path, 5));
  if (ext.empty()) return 99;
  for (const auto& entry : kKinds) {
    if (entry.extension == ext) return entry.kind;
  }
  // The five image extensions the user registered, kinds 17 to 21.
  for (int i = 0; i < static_cast<int>(m_astrImageExt.size()); ++i) {
    std::string registered = Lower(m_astrImageExt[i]);
    if (!registered.empty() && registered.front() == '.') registered.erase(0, 1);
    if (!registered.empty() && registered == ext) return 17 + i;
  }
  return 99;
}
