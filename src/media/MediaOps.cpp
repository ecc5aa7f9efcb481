// The document's media operations that other parts use: the recording rate, repeat
// play and the fixed clock.
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "media/MediaState.h"

int CQelDoc::RecordRate() const { return Media().m_nRecordRate; }

void CQelDoc::SetMediaRepeat(bool on) { Media().m_bMediaRepeat = on ? 1 : 0; }

int64_t CQelDoc::FixedClockNow() const {
  if (Media().m_tClockStart < 0) return -1;
  const uint64_t ms = g_pMainFrame ? g_pMainFrame->Ui().NowMs() : 0;
  return Media().m_tClockStart + static_cast<int64_t>(ms / 1000);
}
