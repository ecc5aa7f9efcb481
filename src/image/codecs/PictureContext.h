// What a picture decoder needs of its caller, so that the decoders stand without the
// document: the hook through which every block is allocated (tests and fuzzers make
// it refuse), where a refused block is told with its place code (" 6nn"; the program
// shows string 152), where a reader says what it read (the status bar's format pane),
// and the inflater of PNG's zlib data. A context left empty allocates freely and
// tells nothing; without an inflater no PNG decodes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class AllocHook;

struct PictureContext {
  AllocHook* hook = nullptr;
  std::function<void(const char* place)> outOfMemory;
  std::function<void(const std::string& format)> format;
  // Inflates the raw Deflate data in data[0, length) over data (which holds capacity
  // bytes): the bytes inflated, at most capacity; 0 or below when nothing inflates.
  std::function<int(uint8_t* data, int length, int capacity)> inflate;

  void OutOfMemory(const char* place) const {
    if (outOfMemory) outOfMemory(place);
  }
  void Format(const std::string& text) const {
    if (format) format(text);
  }
  int Inflate(uint8_t* data, int length, int capacity) const { return inflate ? inflate(data, length, capacity) : -1; }
};
