// The file list's FTP commands: connect, close and the site settings.
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/Settings.h"
#include "filelist/FlistView.h"
#include "frame/MainFrame.h"
#include "net/FtpSite.h"
#include "net/NetCommands.h"
#include "net/NetState.h"

namespace {

// The pseudo-drive the command works on: the list's folder's, else the first site's.
std::string FtpTarget(const CommandContext& cx) {
  if (cx.list && cx.doc->GetFtpDriveIndex(cx.list->Folder()) > 0) return cx.list->Folder();
  for (int i = 0; i < 3; ++i) {
    const std::string& site = cx.doc->m_astrSysValue[kFirstFtpSiteValue + i];
    if (cx.doc->GetFtpDriveIndex(site.substr(0, 2)) == i + 1) return site.substr(0, 2) + "\\";
  }
  return "";
}

int OnListFtpConnect(CommandContext& cx) {
  if (!cx.doc) return -1;
  const std::string target = FtpTarget(cx);
  if (target.empty() || cx.doc->ConnectFtpSite(target) < 0) return -1;
  cx.doc->RefreshFileLists();
  return 0;
}

void OnUpdateListFtpConnect(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(cx.doc && !cx.doc->Net().m_bFtpConnected && !FtpTarget(cx).empty());
}

int OnListFtpClose(CommandContext& cx) {
  if (!cx.doc) return -1;
  cx.doc->CloseInternetSession();
  return 0;
}

void OnUpdateListFtpClose(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.doc && cx.doc->Net().m_bFtpConnected); }

int OnListFtpSettings(CommandContext& cx) {
  if (!cx.doc || !g_pMainFrame) return -1;
  // The settings file is read (or made) first, so that the answers are what stays.
  cx.doc->ApplySettingsOnce(0);
  const plat::DialogAnswer answer = g_pMainFrame->Ui().RunDialog("CFtpSettingsDlg");
  if (answer.result != plat::IDOK) return -1;
  for (int i = 0; i < 3; ++i) {
    const std::string key = "ftp" + std::to_string(i + 1);
    const auto it = answer.fields.find(key);
    if (it == answer.fields.end()) continue;
    cx.doc->m_astrSysKey[kFirstFtpSiteValue + i] = key;
    cx.doc->m_astrSysValue[kFirstFtpSiteValue + i] = it->second;
  }
  // A changed site is reached with its new string from the next connection on.
  cx.doc->CloseInternetSession();
  if (const std::string problem = SaveSettings(*cx.doc, {"ftp1", "ftp2", "ftp3"}); !problem.empty()) {
    AfxNote(problem);
    return -1;
  }
  return 0;
}

constexpr CommandEntry kRows[] = {
    {33510, "ID_LIST_FTP_CONNECT", "FTP接続", CommandTarget::FileList, OnListFtpConnect, OnUpdateListFtpConnect, "ftp-connect"},
    {33511, "ID_LIST_FTP_CLOSE", "FTP切断", CommandTarget::FileList, OnListFtpClose, OnUpdateListFtpClose, "ftp-close"},
    {33512, "ID_LIST_FTP_SETTINGS", "FTP・ネットワーク設定", CommandTarget::FileList, OnListFtpSettings, nullptr, "ftp-settings"},
};

}  // namespace

CommandRows FtpListCommands() { return kRows; }
