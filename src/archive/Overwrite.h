// The overwrite question of the archive commands.
#pragma once

#include <string>

// Asks the overwrite question (app/OverwriteQuestion.h) for path with Yes/No; true
// on Yes.
bool AskOverwrite(const std::string& path);
