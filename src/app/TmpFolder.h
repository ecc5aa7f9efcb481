// The program folder's TMP and the run folders below it (app/TmpFolder.cpp).
#pragma once

#include <optional>
#include <string>

// Makes folder when it is missing (only the user may enter it; its missing parents
// made) and says why it may not hold work files: "" for a real folder of the user's
// that no one else may write, else the reason (UTF-8). The work files of every road
// live below it under fixed names, so a folder another user could fill with links
// is refused. The folder is looked at once when it is there.
std::string FolderRefusal(const std::string& folder);

// The first of a program folder and its TMP that is refused, and why; an empty
// folder when both may hold work files.
struct FolderRefused {
  std::string folder;
  std::string why;
};
FolderRefused ProgramFolderRefusal(const std::string& programDir);
// The message for a refused folder (CP932): the folder as the user wrote it, why,
// and that the run works in a folder of its own instead.
std::string FolderRefusedText(const FolderRefused& refused);

// A private folder below /tmp for a run whose program folder was refused; its name
// carries the process id, so a folder left behind says which run made it.
std::optional<std::string> MakeFallbackRunFolder();

// Removes the work folders that runs no longer living left in tmp (a program
// folder's TMP); a running instance's folder, and anything not of a run folder's
// name form, stay.
// The caller holds tmp's lock, under which run folders are made.
void RemoveDeadRunFolders(const std::string& tmp);
// The same, taking tmp's lock first.
void ClearDeadRunFolders(const std::string& tmp);
