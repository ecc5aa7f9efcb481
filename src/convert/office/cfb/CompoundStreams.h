// Whole streams of a compound file image (the file's bytes as they are, header at
// 0), read through the document's chain table (the FAT) or, for streams under 4,096
// bytes, through the mini FAT inside the mini-stream. Every chain is bounded by the
// number of sectors (or mini sectors) of the data, so a looping chain ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteCursor.h"

class CQelDoc;

class CompoundStreams {
 public:
  // img: the file image; readSize: the bytes of it that may be used.
  CompoundStreams(const CQelDoc& doc, const ByteCursor& img, int64_t readSize);

  // The regular chain from start, at most `size` bytes (size < 0: to the chain's end).
  std::string Regular(uint32_t start, int64_t size) const;
  // A small stream: mini sectors of the mini-stream, chained by the mini FAT.
  std::string Small(uint32_t start, int64_t size);
  std::string Stream(uint32_t start, int64_t size) { return size < 4096 ? Small(start, size) : Regular(start, size); }
  // The stream of the directory entry named `name` (ASCII), anywhere in the
  // directory; empty when there is none.
  std::string Named(const char* name);

 private:
  uint32_t Next(uint32_t s) const;
  void LoadMini();

  const CQelDoc& doc_;
  const ByteCursor& img_;
  int64_t end_;
  int64_t sectors_;
  bool miniLoaded_ = false;
  std::string miniStream_;
  std::vector<uint32_t> miniFat_;
};
