// The MCI error numbers the media callers compare against, and their texts.
#pragma once

#include <cstdint>

namespace plat {

using MCIERROR = uint32_t;

enum : MCIERROR {
  MCIERR_INVALID_DEVICE_ID = 257,
  MCIERR_UNRECOGNIZED_KEYWORD = 259,
  MCIERR_UNRECOGNIZED_COMMAND = 261,
  MCIERR_HARDWARE = 262,
  MCIERR_INVALID_DEVICE_NAME = 263,   // unknown device: not open, or no such type
  MCIERR_OUT_OF_MEMORY = 264,
  MCIERR_DEVICE_OPEN = 265,           // already open
  MCIERR_MISSING_COMMAND_STRING = 267,
  MCIERR_PARAM_OVERFLOW = 268,        // the reply does not fit its buffer
  MCIERR_BAD_INTEGER = 270,
  MCIERR_MISSING_PARAMETER = 273,
  MCIERR_UNSUPPORTED_FUNCTION = 274,
  MCIERR_FILE_NOT_FOUND = 275,
  MCIERR_OUTOFRANGE = 282,
  MCIERR_FILE_NOT_SAVED = 286,
  MCIERR_MISSING_DEVICE_NAME = 292,
  MCIERR_BAD_TIME_FORMAT = 293,
  MCIERR_NO_CLOSING_QUOTE = 294,
  MCIERR_INVALID_FILE = 296,
  MCIERR_NULL_PARAMETER_BLOCK = 297,
  MCIERR_WAVE_INPUTSUNSUITABLE = 328,
  MCIERR_NO_WINDOW = 346,
  MCIERR_FILE_READ = 348,             // the file could not be read before its deadline
  MCIERR_FILE_WRITE = 349,
  // The driver's own numbers start at 512.
  MCIERR_NOT_A_FILE = 512,            // a named pipe, a socket or a device: never opened to play
};

// Writes the text of an error (CP932, NUL-terminated, cut at a character boundary
// to fit) into buffer; false for a number that has no text (the buffer then holds "").
bool mciGetErrorString(MCIERROR error, char* buffer, unsigned length);

}  // namespace plat
