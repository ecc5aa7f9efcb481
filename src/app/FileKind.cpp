// FileKind: the kind of a file from its extension.
#include <string_view>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "base/AsciiCase.h"

namespace {

struct ExtensionKind {
  std::string_view extension;  // lower case, without the dot
  int kind;
};

constexpr ExtensionKind kExtensionKinds[] = {
    {"ppt", kKindPpt},   {"pot", kKindPpt},   {"obd", kKindPpt},
    {"doc", kKindDoc},   {"xls", kKindXls},   {"rtf", kKindRtf},
    {"htm", kKindHtml},  {"html", kKindHtml}, {"txt", kKindText},  {"pdf", kKindPdf},
    {"bmp", kKindBmp},   {"jpg", kKindJpeg},  {"jpeg", kKindJpeg}, {"png", kKindPng},
    {"gif", kKindGif},   {"tif", kKindTiff},  {"tiff", kKindTiff}, {"bmz", kKindBmz},
    {"wmf", kKindWmf},   {"emf", kKindEmf},
    {"msg", kKindMail},  {"oft", kKindMail},  {"csv", kKindCsv},   {"xml", kKindXmlSheet},
    {"xlsx", kKindXlsx}, {"docx", kKindDocx}, {"pptx", kKindPptx},
    {"mid", kKindMidi},  {"midi", kKindMidi}, {"wav", kKindWave},
    {"avi", kKindVideo}, {"wmv", kKindVideo}, {"mov", kKindVideo},
    {"mpg", kKindMpeg},  {"mpeg", kKindMpeg}, {"mp4", kKindMp4},
    {"mp3", kKindAudio}, {"wma", kKindAudio},
    {"mcr", kKindMacro},
};

}  // namespace

int CQelDoc::GetFileKind(std::string path) const {
  const std::string name = GetPathPart(path, PathPart::kName);
  if (name.empty()) return kKindNone;
  const std::string ext = AsciiLowerCopy(GetPathPart(path, PathPart::kExtension));
  if (ext.empty()) return kKindOther;
  for (const auto& entry : kExtensionKinds) {
    if (entry.extension == ext) return entry.kind;
  }
  // The five image extensions the user registered.
  const int registered = RegisteredImageKind(ext);
  return registered != 0 ? registered : kKindOther;
}
