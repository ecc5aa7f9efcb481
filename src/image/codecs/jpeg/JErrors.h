// The JPEG codec's failures. Each is a plain class thrown by value and caught by
// type inside the codec, which turns it into a result code; none leaves the codec.
// Every one carries what its throw site knows: the function's name, the byte
// position in the input, a limit and the value that passed it, a size.
#pragma once

#include <cstdint>
#include <string>

// Reading past the end of the input, or writing past what the output may hold.
class JBufferError {
 public:
  explicit JBufferError(const char* message) : message_(message) {}
  std::string message_;
};

// A frame of a coding process other than baseline, or an unsupported layout.
class JNotSupported {
 public:
  JNotSupported(int marker, int64_t position) : marker_(marker), position_(position) {}
  int marker_;
  int64_t position_;
};

// Bytes that do not follow the format.
class JDataFormatError {
 public:
  JDataFormatError(int64_t position, const char* message) : position_(position), message_(message) {}
  int64_t position_;
  std::string message_;
};

// A table number or count beyond its limit.
class JIndexError {
 public:
  JIndexError(int64_t limit, int64_t value, const char* message) : limit_(limit), value_(value), message_(message) {}
  int64_t limit_;
  int64_t value_;
  std::string message_;
};

// An allocation that was refused or failed.
class JMemoryError {
 public:
  JMemoryError(int64_t size, const char* message) : size_(size), message_(message) {}
  int64_t size_;
  std::string message_;
};
