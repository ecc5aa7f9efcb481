#include "filelist/FlistView.h"

#include <algorithm>
#include <cstdio>

#include "app/Globals.h"
#include "frame/StatusBar.h"
#include "platform/text/CodePage.h"

#include "platform/ui/Keys.h"
#include "platform/ui/Ui.h"

CFlistView::CFlistView(CQelDoc& doc, int list) : m_doc(doc), m_nList(list == 2 ? 2 : 1) { m_doc.AddView(this); }

CFlistView::~CFlistView() { m_doc.RemoveView(this); }

std::string CFlistView::PathOf(int index) const {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return "";
  return m_strFolder + "\\" + m_entries[index].name;
}

std::string CFlistView::CurrentPath() const { return PathOf(m_nCurrent); }

std::string CFlistView::NextFilePath() const {
  if (m_nCurrent < 0) return "";
  for (size_t i = static_cast<size_t>(m_nCurrent) + 1; i < m_entries.size(); ++i) {
    if (!m_entries[i].isDirectory) return PathOf(static_cast<int>(i));
  }
  return "";
}

// The document's operation over its views: the active list's next file.
std::string CQelDoc::NextListEntry() const {
  for (CDocView* view : m_views) {
    const auto* list = dynamic_cast<const CFlistView*>(view);
    if (list && list->ListNumber() == (m_nActiveList == 2 ? 2 : 1)) return list->NextFilePath();
  }
  return "";
}

// A name is found as spelled: the folder may hold names that differ only in case,
// and each is a file of its own, so a name that is not there names no entry.
int CFlistView::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (m_entries[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

// Whether folder is the list's folder: as spelled, or as the same host path (a
// drive letter the file layer drops). Two folders whose names differ only in case
// are two folders.
bool CFlistView::IsListFolder(const std::string& folder) const {
  if (folder == m_strFolder) return true;
  const auto mine = plat::ToHostPath(m_strFolder);
  const auto other = plat::ToHostPath(folder);
  return mine && other && *mine == *other;
}

std::vector<std::string> CFlistView::SelectedPaths() const {
  std::vector<std::string> paths;
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (m_selected[i]) paths.push_back(PathOf(static_cast<int>(i)));
  }
  return paths;
}

int CFlistView::ReadFolder() {
  const std::string current = m_nCurrent >= 0 ? m_entries[m_nCurrent].name : "";
  std::vector<std::string> selected;
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (m_selected[i]) selected.push_back(m_entries[i].name);
  }
  // A site's letter that is no pseudo-drive lists nothing (it is no local folder).
  const int drive = m_doc.RefuseFalseFtpDrive(m_strFolder) ? -1 : m_doc.GetFtpDriveIndex(m_strFolder);
  std::optional<std::vector<plat::DirEntry>> listing;
  if (drive > 0) listing = m_doc.ListFtpFolder(m_strFolder);
  if (drive == 0) listing = plat::ListDirectory(m_strFolder);
  m_entries.clear();
  m_nCurrent = -1;
  if (!listing) {
    m_selected.clear();
    return -1;
  }
  // Sorted whole before the limit applies, so which entries are listed never depends
  // on the order the file system gives them in. The order (folders first, then by
  // name) is worked out on light keys, and each entry is moved once into its place.
  struct Key {
    std::string_view name;
    uint32_t index;
    bool directory;
  };
  std::vector<Key> keys;
  keys.reserve(listing->size());
  for (size_t i = 0; i < listing->size(); ++i) {
    const plat::DirEntry& entry = (*listing)[i];
    // A name the program cannot write back is not listed: it could not be opened.
    if (entry.nameExact) keys.push_back({entry.name, static_cast<uint32_t>(i), entry.isDirectory});
  }
  const auto before = [](const Key& a, const Key& b) {
    if (a.directory != b.directory) return a.directory;
    return a.name < b.name;
  };
  const size_t all = keys.size();
  const size_t shown = std::min(all, static_cast<size_t>(m_nMaxEntries));
  if (shown < all) {
    std::partial_sort(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(shown), keys.end(), before);
    if (g_pStatusBar) {
      char text[200];
      std::snprintf(text, sizeof text, "%d / %zu 件を表示", m_nMaxEntries, all);
      g_pStatusBar->SetPaneText(0, plat::Utf8ToCp932Lossy(text));
    }
  } else {
    std::sort(keys.begin(), keys.end(), before);
  }
  m_entries.reserve(shown);
  for (size_t i = 0; i < shown; ++i) m_entries.push_back(std::move((*listing)[keys[i].index]));
  m_selected.assign(m_entries.size(), false);
  for (const auto& name : selected) {
    const int i = IndexOf(name);
    if (i >= 0) m_selected[i] = true;
  }
  if (!current.empty()) m_nCurrent = IndexOf(current);
  if (m_nCurrent < 0 && !m_entries.empty()) m_nCurrent = 0;
  return 0;
}

int CFlistView::ShowPath(const std::string& path) {
  // A relative name lies in the current folder.
  const bool absolute = (!path.empty() && path[0] == '\\') || (path.size() >= 2 && path[1] == ':');
  const std::string trimmed = plat::WithoutTrailingSeparators(absolute ? path : plat::GetCurrentDirectory() + "\\" + path);
  const size_t sep = plat::FindLastSeparator(trimmed);
  if (sep == std::string::npos) return -1;
  m_strFolder = sep == 0 ? std::string("\\") : trimmed.substr(0, sep);
  m_nCurrent = -1;
  m_entries.clear();
  m_selected.clear();
  if (ReadFolder() < 0) return -1;
  const int index = IndexOf(trimmed.substr(sep + 1));
  if (index < 0) return -1;
  MoveTo(index);
  return 0;
}

void CFlistView::MoveTo(int index) {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return;
  m_nCurrent = index;
  const std::string path = PathOf(index);
  (m_nList == 2 ? m_doc.m_strFileName2 : m_doc.m_strFileName1) = path;
  if (!m_entries[index].isDirectory) m_doc.LoadDocument(path);
}

int CFlistView::Select(const std::string& pathOrName) {
  std::string name = pathOrName;
  const size_t sep = plat::FindLastSeparator(pathOrName);
  if (sep != std::string::npos) {
    const std::string folder = sep == 0 ? std::string("\\") : pathOrName.substr(0, sep);
    if (!IsListFolder(folder)) return -1;
    name = pathOrName.substr(sep + 1);
  }
  const int index = IndexOf(name);
  if (index < 0) return -1;
  m_selected[index] = true;
  return 0;
}

void CFlistView::OnKeyDown(int key) {
  switch (plat::KeyCode(key)) {
    case plat::VK_UP: MoveTo(m_nCurrent - 1); break;
    case plat::VK_DOWN: MoveTo(m_nCurrent + 1); break;
    case plat::VK_HOME: MoveTo(0); break;
    case plat::VK_END: MoveTo(static_cast<int>(m_entries.size()) - 1); break;
    case plat::VK_SPACE:
      if (m_nCurrent >= 0) m_selected[m_nCurrent] = !m_selected[m_nCurrent];
      break;
    default: break;
  }
}

void CFlistView::OnUpdate() {
  // A request for one text pane, or while the document closes, is not the lists'.
  const ViewRequests request = m_doc.m_nViewRequest;
  if (request.Has(ViewRequest::kClosing) || request.pane != ViewRequests::kAllPanes) return;
  if (request.Has(ViewRequest::kTakeCurrentFile)) {
    const std::string& current = m_nList == 2 ? m_doc.m_strFileName2 : m_doc.m_strFileName1;
    const size_t sep = plat::FindLastSeparator(current);
    if (sep != std::string::npos && !IsListFolder(sep == 0 ? std::string("\\") : current.substr(0, sep))) {
      m_strFolder = sep == 0 ? std::string("\\") : current.substr(0, sep);
      m_entries.clear();
      m_selected.clear();
      m_nCurrent = -1;
    }
    if (!m_strFolder.empty()) ReadFolder();
    if (sep != std::string::npos) {
      const int index = IndexOf(current.substr(sep + 1));
      if (index >= 0) m_nCurrent = index;
    }
  } else if (request.Has(ViewRequest::kReread) && !m_strFolder.empty()) {
    ReadFolder();
  }
}
