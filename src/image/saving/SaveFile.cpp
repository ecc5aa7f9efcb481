#include "image/saving/SaveFile.h"

#include <cerrno>
#include <cstring>

#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

ConvertStatus ReplaceFileWith(const std::string& target, std::span<const uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  int error = 0;
  if (!plat::ReplaceWholeFile(target, text, plat::kKeepPermissions, nullptr, &error)) return ShowWriteFailure(target, error);
  return ConvertStatus::Ok();
}

ConvertStatus ShowWriteFailure(const std::string& target, int error) {
  // A full disk and a folder or file that refuses the write have the system's own
  // texts; any other reason is named as the system gives it.
  if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
    AfxMessageBox(StringWith(IDS_DISK_FULL, plat::ShownPath(target)));
    return ConvertStatus::Message(IDS_DISK_FULL);
  }
  if (error == EACCES || error == EPERM || error == EROFS || error == EBUSY || error == ETXTBSY) {
    AfxMessageBox(StringWith(IDS_CANNOT_USE, plat::ShownPath(target)));
    return ConvertStatus::Message(IDS_CANNOT_USE);
  }
  return ShowCannotCreate(target, std::strerror(error != 0 ? error : EIO));
}

ConvertStatus ShowCannotCreate(const std::string& target, const std::string& why) {
  AfxMessageBox(plat::ShownPath(target) + "\n" + LoadString(IDS_CANNOT_MAKE) + "  (" + plat::Utf8ToCp932Lossy(why) + ")");
  return ConvertStatus::Message(IDS_CANNOT_MAKE).With(why);
}
