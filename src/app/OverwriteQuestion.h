// The one overwrite question: string 218 ("ファイル %s は既に存在します。\n上書きしますか？")
// about path, with the buttons a road asks it with (OK/Cancel or Yes/No). True only
// when the answer accepts (OK or Yes); a No, a Cancel and no answer keep the file.
#pragma once

#include <string>

bool AskOverwriteQuestion(const std::string& path, unsigned buttons);

// The one question before a write-protected file is made writable: string 329 about
// path as the user wrote it, Yes/No; true only for Yes.
bool AskWriteProtectedQuestion(const std::string& path);
