// The codec's one failure: a three-digit code text, named in ErrorCodes.h. Every check of
// untrusted data goes through CODEC_CHECK, so a bad byte becomes this error and
// never reaches an index or a length unchecked.
#pragma once

#include <stdexcept>

#include "codec/ErrorCodes.h"

namespace codec {

class CodecError : public std::runtime_error {
 public:
  explicit CodecError(const char* code) : std::runtime_error(code) {}
  const char* Code() const { return what(); }
};

[[noreturn]] inline void Fail(const char* code) { throw CodecError(code); }

}  // namespace codec

#define CODEC_CHECK(cond, code)          \
  do {                                   \
    if (!(cond)) ::codec::Fail(code);    \
  } while (0)
