// CFlistView: one of the two file lists. It shows a folder's entries (folders
// first, then files, each by name), keeps a current item and a selection, and makes
// its current file the document's (CQelDoc::m_strFileName1 or 2): moving onto a file
// shows it in the text pane.
#pragma once

#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "platform/os/Files.h"

class CFlistView : public CDocView {
 public:
  // A folder lists at most this many entries, the first in the list's order (folders
  // first, then by name); the status pane says how many were left out.
  static constexpr int kMaxEntries = 65536;

  CFlistView(CQelDoc& doc, int list);  // list 1 or 2
  ~CFlistView() override;
  CFlistView(const CFlistView&) = delete;
  CFlistView& operator=(const CFlistView&) = delete;

  // Shows path's folder with path (a file or a folder) as the current item; a file
  // becomes the document's current file and is loaded. Below 0 when the folder cannot
  // be read or the item is not in it.
  int ShowPath(const std::string& path);
  // Re-reads the folder, keeping the current item and the selection by name.
  int ReadFolder();
  // Adds the item of path (or a name in the folder) to the selection; below 0 when the
  // list has no such item (names and folders are taken as spelled: on a case-sensitive
  // file system a same-named file in another folder is never selected).
  int Select(const std::string& pathOrName);
  void ClearSelection() { m_selected.assign(m_entries.size(), false); }

  // Up and Down move the current item; Space toggles its selection.
  void OnKeyDown(int key);
  // The document's ViewRequest (app/ViewCodes.h): take its current file, or re-read.
  void OnUpdate() override;

  // The entry limit (kMaxEntries unless a test sets a smaller one).
  void SetMaxEntries(int limit) { m_nMaxEntries = limit > 0 ? limit : kMaxEntries; }

  int ListNumber() const { return m_nList; }
  const std::string& Folder() const { return m_strFolder; }
  const std::vector<plat::DirEntry>& Entries() const { return m_entries; }
  int CurrentIndex() const { return m_nCurrent; }
  std::string CurrentPath() const;  // "" when the list is empty
  // The first file after the current item in the list's order, folders skipped;
  // "" after the last one.
  std::string NextFilePath() const;
  std::vector<std::string> SelectedPaths() const;

 private:
  std::string PathOf(int index) const;
  int IndexOf(const std::string& name) const;
  bool IsListFolder(const std::string& folder) const;
  void MoveTo(int index);

  CQelDoc& m_doc;
  int m_nList;
  std::string m_strFolder;
  std::vector<plat::DirEntry> m_entries;
  std::vector<bool> m_selected;
  int m_nCurrent = -1;
  int m_nMaxEntries = kMaxEntries;
};
