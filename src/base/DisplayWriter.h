// The one bounded writer of display text (Shift-JIS bytes). It writes at a position
// inside a buffer of fixed capacity, always keeps one byte for the terminating NUL,
// never splits a double-byte character when text has to be cut, and records a cut
// in the partial-load flag it is given. The position is the caller's own variable,
// so code that reads the position (or writes the terminator) stays in step.
#pragma once

#include <cstdarg>
#include <string_view>

class DisplayWriter {
 public:
  // buffer holds capacity bytes; pos is the write position; partial (may be null)
  // becomes 1 when a write is cut.
  DisplayWriter(char* buffer, int capacity, int& pos, int* partial = nullptr)
      : buf_(buffer), cap_(capacity), pos_(pos), partial_(partial) {}

  // Writes text, or as much of it as fits in whole characters; the bytes written.
  int Append(std::string_view text);
  int Put(char c) { return Append(std::string_view(&c, 1)); }
  int Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  int VPrintf(const char* format, va_list args);
  // Writes n copies of c (blanks for column padding).
  int Fill(char c, int n);

  // Writes the NUL at the position (within the buffer).
  void Terminate();
  // Writes the NUL at the position and, where the buffer has room, a second one after
  // it: the table display finds the end of a table by two NULs.
  void TerminateTable();
  // Bytes that can still be written before the terminator's byte.
  int Room() const;
  bool Full() const { return Room() == 0; }
  bool Cut() const { return cut_; }
  int Pos() const { return pos_; }
  // Moves the position back (or forward up to the room); clamped into the buffer.
  void SetPos(int pos);
  char* Buffer() const { return buf_; }
  int Capacity() const { return cap_; }

 private:
  void MarkCut();

  char* buf_;
  int cap_;
  int& pos_;
  int* partial_;
  bool cut_ = false;
};
