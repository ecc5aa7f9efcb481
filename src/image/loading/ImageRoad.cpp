#include "image/loading/ImageRoad.h"

#include <algorithm>
#include <vector>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "base/AsciiCase.h"
#include "platform/os/Files.h"
#include "platform/os/Plugin.h"

namespace {

template <int (CQelDoc::*Decode)(const uint8_t*, int, BITMAPINFO*)>
int Plain(CQelDoc& doc, const uint8_t* file, int length, BITMAPINFO* out, const std::string&) {
  return (doc.*Decode)(file, length, out);
}

int Bmz(CQelDoc& doc, const uint8_t* file, int length, BITMAPINFO* out, const std::string& path) {
  return doc.ReadBmz(file, length, out, path);
}

// The built-in decoder of each plug-in name that found no library.
struct BuiltIn {
  const char* plugin;
  ImageDecoder decode;
};
constexpr BuiltIn kBuiltIns[] = {
    {"IFJPEG", Plain<&CQelDoc::DecodeJpeg>}, {"IFJPG", Plain<&CQelDoc::DecodeJpeg>},
    {"IFPNG", Plain<&CQelDoc::DecodePng>},   {"IFGIF", Plain<&CQelDoc::DecodeGif>},
    {"IFTIF", Plain<&CQelDoc::DecodeTiff>},  {"IFTIFF", Plain<&CQelDoc::DecodeTiff>},
};

// The plug-in name of a kind ("" when the kind uses none).
std::string PluginName(int kind, const std::array<std::string, 5>& userExt) {
  switch (kind) {
    case kKindJpeg: return "IFJPEG";
    case kKindPng: return "IFPNG";
    case kKindGif: return "IFGIF";
    case kKindTiff: return "IFTIF";
    case kKindWmf: return "IFWMF";
    case kKindEmf: return "IFEMF";
    default: break;
  }
  if (kind >= kKindUserImage1 && kind <= kKindUserImage5) {
    std::string ext = userExt[static_cast<size_t>(kind - kKindUserImage1)];
    if (!ext.empty() && ext[0] == '.') ext = ext.size() > 3 ? ext.substr(ext.size() - 3) : ext.substr(1);
    return AsciiUpperCopy("IF" + ext);
  }
  return "";
}

// Plug-ins come from the program folder only: "NAME.SPI", else for a registered
// kind the first "NAME5*.SPI" there (the name cut to five characters).
std::string FindPlugin(const std::string& folder, const std::string& name, bool pattern) {
  const std::string exact = folder + "\\" + name + ".SPI";
  if (plat::Exists(exact)) return exact;
  if (!pattern) return "";
  const std::string stem = name.substr(0, std::min<size_t>(name.size(), 5));
  const auto entries = plat::ListDirectory(folder);
  if (!entries) return "";
  std::vector<std::string> names;
  for (const auto& e : *entries) {
    const std::string upper = AsciiUpperCopy(e.name);
    if (!e.isDirectory && e.nameExact && upper.size() >= stem.size() + 4 && upper.rfind(stem, 0) == 0 &&
        upper.compare(upper.size() - 4, 4, ".SPI") == 0) {
      names.push_back(e.name);
    }
  }
  if (names.empty()) return "";
  std::sort(names.begin(), names.end());
  return folder + "\\" + names.front();
}

ImageRoad ByPlugin(std::string library) { return {ImageRoad::By::Plugin, nullptr, std::move(library)}; }
ImageRoad ByDecoder(ImageDecoder decode) { return {ImageRoad::By::Decoder, decode, {}}; }

// The road of a named kind before the JPEG option is applied.
ImageRoad RoadOfName(int kind, const std::string& name, const std::string& programDir) {
  if (kind == kKindBmz) return ByDecoder(Bmz);
  if (kind != kKindWmf && kind != kKindEmf && !name.empty()) {
    std::string library = FindPlugin(programDir, name, false);
    if (!library.empty()) return ByPlugin(std::move(library));
  }
  if (name == "IFTIF") {
    std::string library = FindPlugin(programDir, "IFTIFF", false);
    if (!library.empty()) return ByPlugin(std::move(library));
  }
  for (const BuiltIn& b : kBuiltIns) {
    if (name == b.plugin) return ByDecoder(b.decode);
  }
  if (name == "IFWMF" || name == "IFEMF") return {ImageRoad::By::Metafile, nullptr, {}};
  std::string library = FindPlugin(programDir, name, true);
  if (library.empty() || !plat::CanLoadPlugin(library)) return {};
  return ByPlugin(std::move(library));
}

}  // namespace

ImageRoad BmpImageRoad() { return ByDecoder(Plain<&CQelDoc::DecodeBmp>); }

ImageRoad ChooseImageRoad(int kind, int option, const std::string& programDir,
                          const std::array<std::string, 5>& userExtensions) {
  ImageRoad road = RoadOfName(kind, PluginName(kind, userExtensions), programDir);
  if (road.by == ImageRoad::By::Plugin && kind == kKindJpeg && option > 0) road = ByDecoder(Plain<&CQelDoc::DecodeJpeg>);
  return road;
}
