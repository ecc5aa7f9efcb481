// The overwrite question of the archive commands.
#pragma once

#include <string>

// Asks string 218 ("ファイル %s は既に存在します。\n上書きしますか？") for path with
// Yes/No; true on Yes.
bool AskOverwrite(const std::string& path);
