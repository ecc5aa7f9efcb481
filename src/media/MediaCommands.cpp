#include "media/MediaCommands.h"

#include "app/FileKind.h"
#include "app/FrameHost.h"
#include "media/MediaCodes.h"
#include "media/MediaState.h"
#include "media/ViewMediaState.h"
#include "view/QelView.h"

namespace {

bool Recording(const CommandContext& cx) { return cx.doc->Media().m_nRecordState != 0; }

// A medium the player commands act on: the pane shows a media file or the player is
// bound to one. Without one they have nothing to do and are not available.
bool HasMedium(const CommandContext& cx) {
  return IsMediaKind(cx.view->Pane().m_nShownKind) || !cx.view->Media().m_strMciDevice.empty();
}

// A media name whose extension is marked ('=', '+' or '-' before it, as in "+wav")
// is a protected copy: it is loaded again through the load road instead of played.
int OnPlayStop(CommandContext& cx) {
  const std::string& file = cx.doc->Media().m_strMediaFile;
  if (file.size() > 4) {
    const char mark = file[file.size() - 4];
    if (mark == '=' || mark == '+' || mark == '-') return cx.doc->LoadDocument(file) < 0 ? -1 : 0;
  }
  if (cx.view->MediaCommand(kMediaPlayStop, 1) >= 0) return 0;
  // The status line holds the device's error; the statement fails with it.
  AfxMessageBox(cx.view->Media().m_strPlayFailure);
  return -1;
}

int OnPause(CommandContext& cx) {
  cx.doc->m_nMediaRequest = Recording(cx) ? kMediaRecordPause : kMediaPause;
  cx.view->OnUpdate();
  return 0;
}

int OnRewind(CommandContext& cx) {
  if (cx.doc->Media().m_nMediaState >= 1) cx.view->MediaCommand(cx.view->GetDocument().m_bCtrlDown ? kMediaJumpBack : kMediaRewind, 1);
  return 0;
}

int OnFastForward(CommandContext& cx) {
  if (cx.doc->Media().m_nMediaState >= 1) cx.view->MediaCommand(cx.view->GetDocument().m_bCtrlDown ? kMediaJumpForward : kMediaForward, 1);
  return 0;
}

int OnRepeatMark(CommandContext& cx) { return cx.view->MediaCommand(kMediaRepeatMark, 1); }

int OnRepeatPlay(CommandContext& cx) {
  cx.view->Media().m_bPlayRepeat = cx.view->Media().m_bPlayRepeat == 1 ? 0 : 1;
  return 0;
}

int OnRecord(CommandContext& cx) { return cx.view->OnRecord(); }

int OnZoomIn(CommandContext& cx) {
  cx.view->OnZoomIn();
  return 0;
}

int OnZoomOut(CommandContext& cx) {
  cx.view->OnZoomOut();
  return 0;
}

void OnUpdatePlayStop(CommandContext& cx, CCmdUI& ui) {
  ui.SetCheck(cx.view->Media().m_nPlayerState > 0);
  ui.Enable(!Recording(cx));
}

void OnUpdatePause(CommandContext& cx, CCmdUI& ui) {
  ui.SetCheck(cx.view->Media().m_nPlayerState == 2 || cx.doc->Media().m_nRecordState == 2);
  ui.Enable(Recording(cx) || HasMedium(cx));
}

void OnUpdateRepeat(CommandContext& cx, CCmdUI& ui) {
  ui.SetCheck(cx.view->Media().m_bPlayRepeat == 1);
  ui.Enable(!Recording(cx) && HasMedium(cx));
}

void OnUpdateRecord(CommandContext& cx, CCmdUI& ui) { ui.SetCheck(cx.doc->Media().m_nRecordState > 0); }

void OnUpdateZoom(CommandContext& cx, CCmdUI& ui) { ui.Enable(IsMediaKind(cx.view->Pane().m_nShownKind)); }

constexpr CommandEntry kRows[] = {
    {32984, "ID_MEDIA_PLAY_STOP", "再生/停止", CommandTarget::TextView, OnPlayStop, OnUpdatePlayStop, "play"},
    {32983, "ID_MEDIA_PAUSE", "一時停止", CommandTarget::TextView, OnPause, OnUpdatePause, "pause"},
    {32993, "ID_MEDIA_REWIND", "巻き戻し/逆コマ送り", CommandTarget::TextView, OnRewind, OnUpdateRepeat, "rewind"},
    {32992, "ID_MEDIA_FAST_FORWARD", "早送り/コマ送り", CommandTarget::TextView, OnFastForward, OnUpdateRepeat, "forward"},
    {32986, "ID_MEDIA_REPEAT_MARK", "リピート開始/終了点指定", CommandTarget::TextView, OnRepeatMark, OnUpdateRepeat,
     "repeat-mark"},
    {32985, "ID_MEDIA_REPEAT_PLAY", "リピート再生入り切り", CommandTarget::TextView, OnRepeatPlay, OnUpdateRepeat, "repeat"},
    {33219, "ID_MEDIA_RECORD", "●録音開始/終了", CommandTarget::TextView, OnRecord, OnUpdateRecord, "record"},
    {33900, "ID_VIEW_ZOOM_IN", "拡大", CommandTarget::TextView, OnZoomIn, OnUpdateZoom, "zoom-in"},
    {33901, "ID_VIEW_ZOOM_OUT", "縮小", CommandTarget::TextView, OnZoomOut, OnUpdateZoom, "zoom-out"},
};

}  // namespace

CommandRows MediaCommands() { return kRows; }
