// What the PNG reader and writer share.
#pragma once

#include <cstdint>

inline constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
