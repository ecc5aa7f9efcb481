// Shared pieces of the Word text roads: the bounds of the piece and picture lists,
// the picture list entry and the Data-stream picture walk.
#pragma once

#include <cstdint>

class CQelDoc;
class ByteCursor;
struct DumpCall;
struct WordGrid;

constexpr int kMaxWordPieces = 4096;    // piece descriptors kept
constexpr int kMaxWordPictures = 100;  // pictures announced

struct WordPicture {
  int64_t pos = 0;  // image position of the picture's data
  int kind = 0;     // 0x52 JPEG, 0x62 PNG, 0 other
};

// Appends the pictures of the Data stream image [data, end) to list (up to
// capacity entries, count already there); returns the new count.
int FindWordPictures(const ByteCursor& img, int64_t data, int64_t end, WordPicture* list, int capacity, int count);

// The grid of the Word roads over the dump's first string matrix: m_nCharLimit
// bytes a row, up to m_nTableRows + 90 rows (fewer when the matrix is smaller).
WordGrid MakeWordGrid(CQelDoc& doc, DumpCall& call);
