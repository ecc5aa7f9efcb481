// The one overwrite question: string 218 ("ファイル %s は既に存在します。\n上書きしますか？")
// about path, with the buttons a road asks it with (OK/Cancel or Yes/No). True only
// when the answer accepts (OK or Yes) and, for a write-protected file, the
// write-protected question is answered Yes too; a No, a Cancel and no answer keep the
// file, and the script statement that asked fails naming it ("not replaced: FILE").
#pragma once

#include <string>

bool AskOverwriteQuestion(const std::string& path, unsigned buttons);

// The one question before a write-protected file is made writable: string 329 about
// path as the user wrote it, Yes/No; true only for Yes (any other answer keeps the
// file as the overwrite question's does).
bool AskWriteProtectedQuestion(const std::string& path);
// True when path is no write-protected file, or the user answered Yes to the
// write-protected question and it was made writable: the writers' one helper refuses
// to replace a write-protected file (plat::ReplaceByRename).
bool UnprotectAfterAsking(const std::string& path);
