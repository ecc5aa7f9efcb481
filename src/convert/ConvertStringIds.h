// The string ids the converters name beside those of base/StringIds.h.
#pragma once

enum : int {
  IDS_FILE_DAMAGED = 246,  // "%s": what is damaged (a part, a stream's chain, an archive's header)
};
