#include "app/QelDoc.h"

#include <algorithm>
#include <optional>

#include <unistd.h>

#include "app/FrameHost.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "app/TmpFolder.h"
#include "archive/ArchiveState.h"
#include "media/MediaState.h"
#include "net/NetState.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/office/OfficeState.h"
#include "image/ImageState.h"
#include "platform/os/Files.h"
#include "platform/os/SignalCleanup.h"
#include "richtext/RichTextState.h"

namespace {

std::string DefaultProgramDir() {
  std::string home = plat::GetEnv("PELNORIX_HOME");
  if (home.empty()) {
    // Without a home, a folder of the user's own in /tmp (whose sticky bit keeps
    // others from renaming it), never a shared path anyone could make first.
    std::string user = plat::GetEnv("HOME");
    home = user.empty() ? "/tmp/pelnorix-" + std::to_string(geteuid()) : user + "/.local/share/pelnorix";
  }
  return plat::WithoutTrailingSeparators(plat::FromHostPath(home));
}

}  // namespace

// The program folder and its TMP; when either is refused, the message names it and
// why, and a private folder made for this run serves instead (removed at the end).
// What runs that no longer live left in TMP goes now, whether or not this run needs
// a work file.
void CQelDoc::SecureProgramFolder() {
  const FolderRefused refused = ProgramFolderRefusal(m_strProgramDir);
  if (refused.folder.empty()) {
    ClearDeadRunFolders(m_strProgramDir + "\\TMP");
    return;
  }
  AfxMessageBox(FolderRefusedText(refused));
  std::optional<std::string> own = MakeFallbackRunFolder();
  if (!own) return;
  m_strProgramDir = *own;
  m_bProgramDirForRun = true;
  plat::RemoveAtEndingSignal(m_strProgramDir);
  FolderRefusal(m_strProgramDir + "\\TMP");
}

CQelDoc::CQelDoc(std::string programDir, CFrameHost* frame)
    : frame_(frame),
      convert_(std::make_unique<ConvertState>()),
      office_(std::make_unique<OfficeState>()),
      archive_(std::make_unique<ArchiveState>()),
      media_(std::make_unique<MediaState>()),
      net_(std::make_unique<NetState>()),
      richText_(std::make_unique<RichTextState>()),
      image_(std::make_unique<ImageState>()) {
  // First, so that a refused program folder's message reaches this document's frame.
  g_pDoc = this;
  m_strProgramDir = programDir.empty() ? DefaultProgramDir() : plat::WithoutTrailingSeparators(std::move(programDir));
  SecureProgramFolder();
  BuildCidTables();
  // The key code entry: eight characters, then the key; four blanks mean none is set.
  m_astrSysKey[29] = "PWRD";
  m_astrSysValue[29] = "PWRDCODE    ";
}

CQelDoc::~CQelDoc() {
  if (!m_strRunTmp.empty()) {
    plat::ForgetAtEndingSignal(m_strRunTmp);
    plat::RemoveTree(m_strRunTmp);
  }
  if (m_bProgramDirForRun) {
    plat::ForgetAtEndingSignal(m_strProgramDir);
    plat::RemoveTree(m_strProgramDir);
  }
  if (g_pDoc == this) g_pDoc = nullptr;
}

void CQelDoc::UpdateAllViews() {
  // A view may remove itself while updating: walk a copy.
  std::vector<CDocView*> views = m_views;
  for (CDocView* view : views) view->OnUpdate();
}

int CQelDoc::PostViewAction(const ViewAction& action) {
  m_nViewAction = action;
  m_nViewActionResult = 0;
  UpdateAllViews();
  const bool taken = m_nViewAction.kind == ViewActionKind::kNone;
  if (!taken && action.kind != ViewActionKind::kLoadMetafile) m_nViewAction = {};
  if (!taken) return 0;
  return m_nViewActionResult < 0 ? -1 : 1;
}

bool CQelDoc::TakePendingMetafile() {
  if (m_nViewAction.kind != ViewActionKind::kLoadMetafile) return false;
  m_nViewAction = {};
  return true;
}

void CQelDoc::AddView(CDocView* view) {
  if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) m_views.push_back(view);
}

void CQelDoc::RemoveView(CDocView* view) { std::erase(m_views, view); }

void CQelDoc::RefreshFileLists() {
  m_nViewRequest = kRefreshLists;
  UpdateAllViews();
}

bool CQelDoc::AllocateConvBuffer(int bytes) {
  if (bytes < 1) bytes = 1;
  if (!TryResize(m_convStore, static_cast<size_t>(bytes), &m_allocHook)) return false;
  m_pConvBuf = m_convStore.data();
  m_nConvCap = bytes;
  m_nConvPos = 0;
  ConvWriter().Terminate();
  return true;
}

int CQelDoc::ConvAppend(std::string_view text) {
  return DisplayWriter(m_pConvBuf, m_nConvCap, m_nConvPos).Append(text);
}

int CQelDoc::ConvVPrintf(const char* format, va_list args) {
  return DisplayWriter(m_pConvBuf, m_nConvCap, m_nConvPos).VPrintf(format, args);
}

int CQelDoc::ConvPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = ConvVPrintf(format, args);
  va_end(args);
  return n;
}

void CQelDoc::WriteConvertFailure(const ConvertStatus& status) {
  if (status.ok()) return;
  if (m_nConvPos == 0) m_bNothingShown = 1;
  ConvAppend(StatusText(status));
}
