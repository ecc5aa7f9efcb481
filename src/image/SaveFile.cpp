#include "image/SaveFile.h"

#include "platform/Files.h"

bool ReplaceFileWith(const std::string& target, std::span<const uint8_t> bytes) {
  const std::string temp = target + ".part~";
  plat::File file;
  if (!file.Open(temp, plat::File::Mode::Write)) return false;
  const bool written = file.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  file.Close();
  if (!written || !plat::RenameFile(temp, target)) {
    plat::RemoveFile(temp);
    return false;
  }
  return true;
}
