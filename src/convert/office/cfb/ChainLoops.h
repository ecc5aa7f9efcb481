// Loops in a compound file: a chain of sectors (FAT, DIFAT, mini FAT, directory) that
// comes back to a sector it passed, and a directory tree whose sibling and child links
// come back to an entry above them. Sound files have neither; a file with one is
// damaged, and its streams cannot be told from the loop's repeats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The sectors a chain has passed. Visit is false for a sector passed before (the
// chain loops); sectors at or above the bound are not kept (nor looked up). Sector 0
// is never taken for a loop: 0 is what an unset or missing table entry reads as, and
// the readers treat it as they did before.
class SectorsPassed {
 public:
  explicit SectorsPassed(int64_t bound) : seen_(static_cast<size_t>(bound > 0 ? bound : 0), false) {}
  bool Visit(uint32_t s) {
    if (s == 0 || s >= seen_.size()) return true;
    if (seen_[s]) return false;
    seen_[s] = true;
    return true;
  }

 private:
  std::vector<bool> seen_;
};

// One directory entry's links: left and right sibling and child, as stream ids.
struct DirectoryLinks {
  uint32_t left = 0xFFFFFFFF;
  uint32_t right = 0xFFFFFFFF;
  uint32_t child = 0xFFFFFFFF;
};

// Whether the tree from entry 0 (the root) comes back to an entry on its own way down.
// Links to entries that were not read (ids at or past links.size()) are not followed,
// nor links to the root.
bool DirectoryTreeLoops(const std::vector<DirectoryLinks>& links);
