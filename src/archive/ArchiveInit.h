// Sets up the document's archive fields when the document is made: looks up the
// outside unzip program on PATH once.
#pragma once

#include "archive/ArchiveState.h"

void InitArchiveState(ArchiveState& state);
