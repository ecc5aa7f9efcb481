#include "image/SaveFile.h"

#include "platform/os/Files.h"

bool ReplaceFileWith(const std::string& target, std::span<const uint8_t> bytes) {
  plat::WorkFile work;
  if (!work.CreateBeside(target)) return false;
  if (!work.Out().Write(bytes.data(), static_cast<int64_t>(bytes.size()))) return false;
  return work.CommitAs(target);
}
