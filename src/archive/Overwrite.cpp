#include "archive/Overwrite.h"

#include "app/OverwriteQuestion.h"
#include "platform/ui/Ui.h"

bool AskOverwrite(const std::string& path) { return AskOverwriteQuestion(path, plat::MB_YESNO); }
