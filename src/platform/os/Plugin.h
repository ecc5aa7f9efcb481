// Image decoder plug-ins: shared objects (named like "IFPNG.SPI") that export
//
//   extern "C" int32_t GetPicture(const uint8_t* data, int64_t length, uint32_t flag,
//                                 PluginBlock* info, PluginBlock* bits,
//                                 void* progress, int32_t userData);
//
// flag 1: data holds the file's bytes. Result 0 is success; the plug-in then hands
// over two blocks allocated with malloc, which the caller releases with free: info
// holds a BITMAPINFOHEADER with its colour table, bits the DIB pixel rows. The
// library is unloaded right after the call.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

extern "C" {
struct PluginBlock {
  void* data;
  int64_t size;
};
}

namespace plat {

struct PluginPicture {
  std::vector<uint8_t> info;
  std::vector<uint8_t> bits;
};

// Whether a plug-in library can be loaded from the path (Windows path).
bool CanLoadPlugin(std::string_view winPath);

// Loads the library, calls its GetPicture on the bytes and unloads it. nullopt when
// the library does not load, lacks the entry, or the call fails.
std::optional<PluginPicture> RunPicturePlugin(std::string_view winPath, std::span<const uint8_t> bytes);

}  // namespace plat
