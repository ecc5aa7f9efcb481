// What the outside packers (zip, lha) are handed: the files and empty folders below
// the sources, walked here without following symbolic links, so the program never
// recurses on its own (where it would follow links out of the folder, or into the
// archive it is writing). Links and special files are left out and said so; a name
// that cannot be stored, or a file that cannot be read, refuses the whole pack, so
// that no archive goes without a word short of what the user packed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/ArchivePaths.h"

// The files and empty folders below each source (relative paths, '/' separators, a
// folder ending with '/'), with what the walk left out added to leftOut (which may
// already hold what the sources' own listing left out). nullopt, each cause named,
// when a name cannot be stored or a file cannot be read. Relative sources are taken
// from base and stay relative. *notStored, when given, is the count of links and
// special files left out.
std::optional<std::vector<std::string>> WalkPackList(std::string_view base, const std::vector<std::string>& sources,
                                                     LeftOut leftOut = {}, size_t* notStored = nullptr);
// Notes each link and special file as not stored, and each name Shift-JIS cannot
// express as refused; false when there is such a name.
bool AcceptLeftOut(const LeftOut& leftOut);
// The links and special files left out: what a finished pack warns of.
size_t NotStored(const LeftOut& leftOut);
// Names each file of the list (folders end with '/') that cannot be opened for
// reading, with the reason; false when there is one. Relative names are taken from base.
bool AllReadable(std::string_view base, const std::vector<std::string>& names);
// True, with a message naming it, when path is a folder with nothing in it: it gives
// no archive, and the pack fails rather than write one of nothing.
bool IsEmptyFolderToPack(const std::string& path);
