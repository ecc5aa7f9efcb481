// A picture plug-in for the loader's tests: a file that starts with "TESTPIC"
// becomes a 2 x 2 24-bit picture (red, green / blue, white from the top);
// anything else fails.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/os/Plugin.h"

extern "C" int32_t GetPicture(const uint8_t* data, int64_t length, uint32_t flag, PluginBlock* info, PluginBlock* bits,
                   void* /*progress*/, int32_t /*userData*/) {
  if (flag != 1 || length < 7 || memcmp(data, "TESTPIC", 7) != 0) return 1;
  static const uint8_t header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0};
  // Bottom row first: blue, white; then red, green. Rows of 8 bytes.
  static const uint8_t rows[16] = {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};
  info->data = std::malloc(sizeof header);
  bits->data = std::malloc(sizeof rows);
  if (!info->data || !bits->data) return 2;
  memcpy(info->data, header, sizeof header);
  memcpy(bits->data, rows, sizeof rows);
  info->size = sizeof header;
  bits->size = sizeof rows;
  return 0;
}
