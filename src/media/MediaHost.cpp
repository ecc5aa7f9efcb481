#include "media/MediaHost.h"

#include <vector>

#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "app/Globals.h"
#include "media/MediaState.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

plat::MciHost* MediaHost(CQelDoc& doc) {
  if (!g_pMainFrame) return nullptr;
  plat::MciHost& host = g_pMainFrame->Mci();
  host.SetAudioDevice(doc.Media().m_strAudioDevice);
  host.SetWorkFolder(doc.TmpFolder());
  host.SetSoundFont(doc.Media().m_strSoundFont);
  return &host;
}

plat::MCIERROR SendMci(CQelDoc& doc, std::string_view command, std::string* reply, unsigned replyLength) {
  plat::MciHost* host = MediaHost(doc);
  if (!host) return plat::MCIERR_HARDWARE;
  if (!reply) return host->SendString(command, nullptr, 0);
  std::vector<char> buffer(replyLength > 0 ? replyLength : 1, '\0');
  const plat::MCIERROR error = host->SendString(command, buffer.data(), replyLength);
  *reply = buffer.data();
  return error;
}

std::string MciErrorText(plat::MCIERROR error, unsigned length) {
  std::vector<char> text(length > 0 ? length : 1, '\0');
  plat::mciGetErrorString(error, text.data(), length);
  return text.data();
}

std::tm ProgramLocalTime(const CQelDoc& doc) {
  std::tm out{};
  if (const int64_t fixed = doc.FixedClockNow(); fixed >= 0) {
    const time_t t = static_cast<time_t>(fixed);
    gmtime_r(&t, &out);  // the setting's seconds are local time already
    return out;
  }
  const time_t now = std::time(nullptr);
  localtime_r(&now, &out);
  return out;
}

std::string Sjis(std::string_view utf8) { return plat::Utf8ToCp932Lossy(utf8); }

std::string UserFileName(const std::string& name) {
  const auto host = plat::ToHostPath(name);
  return host ? plat::Utf8ToCp932Lossy(*host) : name;
}
