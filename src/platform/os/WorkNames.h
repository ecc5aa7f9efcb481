// The hidden work files and folders the program makes beside the user's files (a
// pack's new archive, an unpack's members, a save's new copy). Each name carries the
// process id of the run that made it: ".pelnorix-<pid>-<six>.part~" for a file,
// ".pelnorix-<kind>-<pid>-<six>" for a folder. A run that was killed leaves its work
// behind; the next run that makes work in that folder removes the names of this form
// whose process no longer lives, and nothing else (a running instance's work, and
// any name of another form, stay). Also the name of the picture work file in the
// temporary folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plat {

class File;

// The kinds of work folders: a pack through zip or lha, an unpack through a program.
enum class WorkKind { Zip, Lha, Unpack };

// A new work file name of this run (without the folder).
std::string NewWorkFileName();
// True when name has the form of a work file or folder (isDirectory tells which) of a
// run whose process no longer lives.
bool IsStaleWorkName(std::string_view name, bool isDirectory);
// Removes the stale work files and folders in winFolder ("" the current folder);
// links of such names are removed as links.
void RemoveStaleWork(std::string_view winFolder);
// The picture a PDF or an Office file shows is written to the temporary folder as
// "pdftmp." and the picture's three-letter extension ("pdftmp.jpg", "pdftmp.PNG").
inline constexpr std::string_view kPictureWorkStem = "pdftmp.";
// True when winPath ends in such a picture work file's name.
bool IsPictureWorkFile(std::string_view winPath);
// Makes a new work folder of kind inside winFolder (only the user may enter it), after
// removing the stale work there; its Windows path, or nullopt.
std::optional<std::string> MakeHiddenWorkFolder(std::string_view winFolder, WorkKind kind);

}  // namespace plat
