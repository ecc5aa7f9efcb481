#include "platform/os/Plugin.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "platform/os/Files.h"

namespace plat {

namespace {

using GetPictureFn = int32_t (*)(const uint8_t*, int64_t, uint32_t, PluginBlock*, PluginBlock*, void*, int32_t);

// Takes over one block the plug-in allocated and frees it.
std::vector<uint8_t> TakeBlock(PluginBlock& block) {
  std::vector<uint8_t> out;
  if (block.data && block.size > 0) {
    const uint8_t* p = static_cast<const uint8_t*>(block.data);
    out.assign(p, p + block.size);
  }
  std::free(block.data);
  block.data = nullptr;
  return out;
}

void* Open(std::string_view winPath) {
  const auto host = ToHostPath(winPath);
  if (!host || !Exists(winPath)) return nullptr;
  // A path with a '/' is never searched for by dlopen: only this file loads.
  std::string path = *host;
  if (path.find('/') == std::string::npos) path = "./" + path;
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

bool CanLoadPlugin(std::string_view winPath) {
  void* lib = Open(winPath);
  if (!lib) return false;
  dlclose(lib);
  return true;
}

std::optional<PluginPicture> RunPicturePlugin(std::string_view winPath, std::span<const uint8_t> bytes) {
  void* lib = Open(winPath);
  if (!lib) return std::nullopt;
  auto fn = reinterpret_cast<GetPictureFn>(dlsym(lib, "GetPicture"));
  PluginBlock info{nullptr, 0};
  PluginBlock bits{nullptr, 0};
  const int32_t result = fn ? fn(bytes.data(), static_cast<int64_t>(bytes.size()), 1, &info, &bits, nullptr, 0) : -1;
  PluginPicture picture;
  picture.info = TakeBlock(info);
  picture.bits = TakeBlock(bits);
  dlclose(lib);
  if (result != 0) return std::nullopt;
  return picture;
}

}  // namespace plat
