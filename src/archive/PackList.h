// What the outside packers (zip, lha) are handed: the files and empty folders below
// the sources, walked here without following symbolic links, so the program never
// recurses on its own (where it would follow links out of the folder, or into the
// archive it is writing). Links are left out and said so.
#pragma once

#include <string>
#include <vector>

// The files and empty folders below each source (relative paths, '/' separators, a
// folder ending with '/'); each symbolic link met is noted as left out.
std::vector<std::string> WalkPackList(const std::vector<std::string>& sources);
// Notes each link (archive form) as not stored.
void NoteLeftOutLinks(const std::vector<std::string>& links);
