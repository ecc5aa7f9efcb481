// The wave recorder: 16-bit stereo PCM at 48,000 or 44,100 samples a second from
// the sound input, named by the local date and time of the start and saved, with
// its full path, in the current folder (the active list's, else the working one).
// A start that fails leaves no recorder behind (device closed, clock stopped), so
// the state stays idle; a save that fails is shown and hands no file to the lists;
// a name already taken gets "_2", "_3", ... so a recording never replaces another;
// with every numbered name taken the save is refused. A folder on an FTP
// pseudo-drive is refused too: the recording would land in the local folder of the
// same name.
#include <cstdio>

#include "app/FrameHost.h"
#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "media/MediaCodes.h"
#include "media/MediaHost.h"
#include "media/MediaState.h"
#include "media/ViewMediaState.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "view/QelView.h"

namespace {

constexpr unsigned kErrorTextLength = 256;

// The folder a recording is saved in.
std::string CurrentFolder(const CQelDoc& doc) {
  const std::string& current = doc.m_nActiveList == 2 ? doc.m_strFileName2 : doc.m_strFileName1;
  const size_t sep = plat::FindLastSeparator(current);
  if (sep != std::string::npos && sep > 0) return current.substr(0, sep);
  return plat::GetCurrentDirectory();
}

constexpr int kLastNumber = 999;

// The path to save to: the name in the folder, numbered when that name is taken;
// "" when the name and every numbered one up to _999 are taken.
std::string FreePath(const std::string& folder, const std::string& name) {
  const std::string base = folder + "\\" + name.substr(0, name.size() - 4);
  std::string path = base + ".wav";
  for (int n = 2; plat::Exists(path); ++n) {
    if (n > kLastNumber) return "";
    path = base + "_" + std::to_string(n) + ".wav";
  }
  return path;
}

}  // namespace

int CQelView::RecordWave(int mode) {
  CQelDoc& doc = m_doc;
  plat::MciHost* host = MediaHost(doc);
  if (!host) return static_cast<int>(plat::MCIERR_HARDWARE);
  if (mode == kRecordStart) {
    const std::tm t = ProgramLocalTime(doc);
    char name[64];
    std::snprintf(name, sizeof name, "audio_%02d%02d%02d_%02d%02d%02d.wav", t.tm_year % 100, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    Media().m_strRecordFile = name;
    // A list on an FTP pseudo-drive has no local folder to save in: nothing is recorded.
    if (doc.RefuseFtpDriveSave(CurrentFolder(doc) + "\\" + Media().m_strRecordFile)) return -1;
    plat::MCI_OPEN_PARMS open;
    open.wDeviceType = plat::MCI_DEVTYPE_WAVEFORM_AUDIO;
    open.lpstrElementName = "";
    plat::MCIERROR e = host->SendCommand(0, plat::MCI_OPEN, plat::MCI_OPEN_TYPE | plat::MCI_OPEN_TYPE_ID | plat::MCI_OPEN_ELEMENT, &open);
    if (e != 0) return AfxMessageBox(MciErrorText(e, kErrorTextLength));
    Media().m_nRecordDevice = static_cast<int>(open.wDeviceID);
    plat::MCI_WAVE_SET_PARMS set;
    const uint32_t rate = doc.Media().m_nRecordRate == 48 ? 48000 : 44100;
    set.format = plat::WaveFormat{1, 2, rate, rate * 4, 4, 16};
    host->SendCommand(open.wDeviceID, plat::MCI_SET,
                      plat::MCI_WAVE_SET_FORMATTAG | plat::MCI_WAVE_SET_CHANNELS | plat::MCI_WAVE_SET_SAMPLESPERSEC |
                          plat::MCI_WAVE_SET_AVGBYTESPERSEC | plat::MCI_WAVE_SET_BLOCKALIGN | plat::MCI_WAVE_SET_BITSPERSAMPLE,
                      &set);
    Media().m_nRecordSeconds = 0;
    SetTimer(kTimerRecord, 1000);
    e = host->SendCommand(open.wDeviceID, plat::MCI_RECORD, 0, nullptr);
    if (e != 0) {
      KillTimer(kTimerRecord);
      host->SendCommand(open.wDeviceID, plat::MCI_CLOSE, plat::MCI_WAIT, nullptr);
      Media().m_nRecordDevice = 0;
      AfxMessageBox(MciErrorText(e, kErrorTextLength));
      return static_cast<int>(e);
    }
    return 0;
  }
  const uint32_t device = static_cast<uint32_t>(Media().m_nRecordDevice);
  if (mode == kRecordPause) {
    if (doc.Media().m_nRecordState == 1) {
      host->SendCommand(device, plat::MCI_PAUSE, plat::MCI_WAIT, nullptr);
      doc.Media().m_nRecordState = 2;
    } else if (doc.Media().m_nRecordState == 2) {
      host->SendCommand(device, plat::MCI_RESUME, plat::MCI_WAIT, nullptr);
      doc.Media().m_nRecordState = 1;
    }
    return 0;
  }
  if (mode != kRecordStop && mode != kRecordClose) return 0;
  host->SendCommand(device, plat::MCI_STOP, plat::MCI_WAIT, nullptr);
  KillTimer(kTimerRecord);
  const bool cut = host->RecorderFull(device);
  const std::string workFailure = host->RecorderWorkFailure(device);
  const std::string folder = CurrentFolder(doc);
  if (doc.RefuseFtpDriveSave(folder + "\\" + Media().m_strRecordFile)) {
    host->SendCommand(device, plat::MCI_CLOSE, plat::MCI_WAIT, nullptr);
    Media().m_nRecordDevice = 0;
    Media().m_strRecordFile.clear();
    return -1;
  }
  const std::string path = FreePath(folder, Media().m_strRecordFile);
  plat::MCI_SAVE_PARMS save;
  save.lpfilename = path.c_str();
  // The device never replaces a file: a name taken meanwhile fails the save too.
  const plat::MCIERROR saved = path.empty() ? plat::MCIERR_FILE_NOT_SAVED
                                            : host->SendCommand(device, plat::MCI_SAVE, plat::MCI_SAVE_FILE | plat::MCI_WAIT, &save);
  const std::string failure = host->RecorderFailure(device);
  const plat::MCIERROR closed = host->SendCommand(device, plat::MCI_CLOSE, plat::MCI_WAIT, nullptr);
  Media().m_nRecordDevice = 0;
  const std::string shown = UserFileName(path.empty() ? folder + "\\" + Media().m_strRecordFile : path);
  if (saved != 0) {
    // The message names the file and the reason; the recording is lost.
    const std::string why = path.empty() ? Sjis("it and its numbered names up to _" + std::to_string(kLastNumber) + " are all taken")
                                         : MciErrorText(saved, kErrorTextLength) + (failure.empty() ? "" : " (" + Sjis(failure) + ")");
    Media().m_strRecordFile.clear();
    AfxMessageBox(Sjis("録音を保存できませんでした (録音は失われました): ") + shown + ": " + why);
    return static_cast<int>(saved);
  }
  if (mode == kRecordClose) {
    // The pane goes (the script or the program ends): the recording is kept, and said.
    AfxNote(Sjis("録音中に終了しました。ここまでの録音を保存しました: ") + shown);
    Media().m_strRecordFile.clear();
    return 0;
  }
  Media().m_strRecordFile = path;
  Pane().m_strFileName = path;
  (doc.m_nActiveList == 2 ? doc.m_strFileName2 : doc.m_strFileName1) = path;
  // The pane shows the recording; the lists take it as their current file and re-read.
  doc.LoadDocument(path);
  doc.m_nViewRequest = kRefreshLists;
  doc.UpdateAllViews();
  if (cut) {
    AfxMessageBox(shown + Sjis(": 録音が WAV ファイルに収まる上限 (4 GiB) に達したので、そこで止めました。ここまでの録音は欠けずに保存しました。"));
    return kRecordCut;
  }
  if (!workFailure.empty()) {
    AfxMessageBox(shown + Sjis(": 作業ファイルに書き込めなくなったので、そこで録音を止めました (作業ファイルの場所 " + workFailure +
                               ")。ここまでの録音は欠けずに保存しました。"));
    return kRecordCut;
  }
  return static_cast<int>(closed);
}

int CQelView::OnRecord() {
  CQelDoc& doc = m_doc;
  if (doc.Media().m_nRecordState != 0) {
    const int stopped = RecordWave(kRecordStop);
    doc.Media().m_nRecordState = 0;
    // A save that failed clears the recording's name: the recording is lost. One cut
    // at the WAV limit or where its work disk filled is saved, and the statement
    // still fails, saying so.
    return Media().m_strRecordFile.empty() || stopped == kRecordCut ? -1 : 0;
  }
  doc.Media().m_nRecordState = RecordWave(kRecordStart) == 0 ? 1 : 0;
  return doc.Media().m_nRecordState == 1 ? 0 : -1;
}
