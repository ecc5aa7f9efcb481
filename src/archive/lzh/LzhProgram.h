// The outside lha program, when its own help shows that it can create archives
// (an "a" command). It is run with an argument vector, never through a shell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ArchiveState;

// Whether the lha program on PATH can create archives (asked once per document).
bool LzhProgramCanCreate(ArchiveState& state);
// What the messages that ask for UNLHA32.DLL mean here (CP932): the lha program,
// and whether one that can create archives was found.
std::string LzhProgramNote(ArchiveState& state);
// Packs the sources (files and empty folders relative to folder, as WalkPackList
// gives them: the program must not recurse; the program runs in folder) into a new
// archive that replaces archive (relative to folder) when complete; the program's
// exit code, -1 when it could not run.
int PackWithLzhProgram(ArchiveState& state, const std::string& archive, const std::string& folder,
                       const std::vector<std::string>& sources);
// Why a pack of the program failed (CP932, "" when nothing is known): a full disk
// where the archive goes, or the program's exit status. packed is its result.
std::string LzhPackReason(int packed, const std::string& folder);
// Unpacks archive into folder, no file past fileSizeLimit bytes (-1: no limit); the
// program's exit code, -1 when it could not run or was stopped at the limit.
int UnpackWithLzhProgram(ArchiveState& state, const std::string& archive, const std::string& folder,
                         int64_t fileSizeLimit = -1);
