#include "app/QelDoc.h"

#include <algorithm>
#include <cstdio>

#include "app/Globals.h"
#include "app/StringTable.h"
#include "archive/ArchiveInit.h"
#include "convert/ConvertStatus.h"
#include "convert/charmap/CidToSjis.h"
#include "platform/Files.h"

namespace {

std::string DefaultProgramDir() {
  std::string home = plat::GetEnv("PELNORIX_HOME");
  if (home.empty()) {
    std::string user = plat::GetEnv("HOME");
    home = (user.empty() ? std::string("/tmp") : user) + "/.local/share/pelnorix";
  }
  std::string dir = plat::FromHostPath(home);
  while (dir.size() > 1 && dir.back() == '\\') dir.pop_back();
  return dir;
}

}  // namespace

CQelDoc::CQelDoc(std::string programDir) {
  m_strProgramDir = programDir.empty() ? DefaultProgramDir() : std::move(programDir);
  while (m_strProgramDir.size() > 1 && m_strProgramDir.back() == '\\') m_strProgramDir.pop_back();
  BuildCidToSjisTables(m_anCidRangeStart.data(), m_anCidRangeSjis.data(), m_abyCidSymbolTrail.data());
  InitArchiveState(*this);
  // The key code entry: eight characters, then the key; four blanks mean none is set.
  m_astrSysKey[29] = "PWRD";
  m_astrSysValue[29] = "PWRDCODE    ";
  g_pDoc = this;
}

CQelDoc::~CQelDoc() {
  if (g_pDoc == this) g_pDoc = nullptr;
}

std::string CQelDoc::TmpFolder() const {
  std::string tmp = m_strProgramDir + "\\TMP";
  plat::MakeDirectories(tmp);
  return tmp;
}

void CQelDoc::UpdateAllViews() {
  // A view may remove itself while updating: walk a copy.
  std::vector<CDocView*> views = m_views;
  for (CDocView* view : views) view->OnUpdate();
}

void CQelDoc::AddView(CDocView* view) {
  if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) m_views.push_back(view);
}

void CQelDoc::RemoveView(CDocView* view) { std::erase(m_views, view); }

void CQelDoc::RefreshFileLists() {
  m_nViewRequest = 6;
  UpdateAllViews();
}

bool CQelDoc::AllocateConvBuffer(int bytes) {
  if (bytes < 1) bytes = 1;
  if (!plat::TryResize(m_convStore, static_cast<size_t>(bytes), &m_allocHook)) return false;
  m_pConvBuf = m_convStore.data();
  m_nConvCap = bytes;
  m_nConvPos = 0;
  m_pConvBuf[0] = '\0';
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
  ConvAppend(status.Text());
}
