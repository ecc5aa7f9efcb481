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
  explicit JBufferError(const char* message) : mMessage(message) {}
  std::string mMessage;
};

// A frame of a coding process other than baseline, or an unsupported layout.
class JNotSupported {
 public:
  JNotSupported(int marker, int64_t position) : mMarker(marker), mPosition(position) {}
  int mMarker;
  int64_t mPosition;
};

// Bytes that do not follow the format.
class JDataFormatError {
 public:
  JDataFormatError(int64_t position, const char* message) : mPosition(position), mMessage(message) {}
  int64_t mPosition;
  std::string mMessage;
};

// A table number or count beyond its limit.
class JIndexError {
 public:
  JIndexError(int64_t limit, int64_t value, const char* message) : mLimit(limit), mValue(value), mMessage(message) {}
  int64_t mLimit;
  int64_t mValue;
  std::string mMessage;
};

// An allocation that was refused or failed.
class JMemoryError {
 public:
  JMemoryError(int64_t size, const char* message) : mSize(size), mMessage(message) {}
  int64_t mSize;
  std::string mMessage;
};
