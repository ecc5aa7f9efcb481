// The codec's one failure: a three-digit code text, named in ErrorCodes.h. Every check of
// untrusted data goes through CODEC_CHECK, so a bad byte becomes this error and
// never reaches an index or a length unchecked. A failure whose cause lies outside
// the data (a full disk, a link in the way) carries that reason as well.
#pragma once

#include <stdexcept>
#include <string>

#include "codec/ErrorCodes.h"

namespace codec {

class CodecError : public std::runtime_error {
 public:
  explicit CodecError(const char* code) : std::runtime_error(code) {}
  CodecError(const char* code, std::string reason) : std::runtime_error(code), reason_(std::move(reason)) {}
  const char* Code() const { return what(); }
  // Why, when the code alone does not tell (CP932 text); "" otherwise.
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

[[noreturn]] inline void Fail(const char* code) { throw CodecError(code); }
[[noreturn]] inline void Fail(const char* code, std::string reason) { throw CodecError(code, std::move(reason)); }

}  // namespace codec

#define CODEC_CHECK(cond, code)          \
  do {                                   \
    if (!(cond)) ::codec::Fail(code);    \
  } while (0)
