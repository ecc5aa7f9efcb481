// Shared pieces of the Word text roads: the bounds of the piece and picture lists,
// the picture list entry and the Data-stream picture walk.
#pragma once

#include <cstdint>
#include <string_view>

class CQelDoc;
class ByteCursor;
struct DumpCall;
struct WordGrid;

constexpr int kMaxWordPieces = 4096;    // piece descriptors kept
constexpr int kMaxWordPictures = 100;  // pictures announced

struct WordPicture {
  int64_t pos = 0;     // image position of the picture's data
  int kind = 0;        // 0x52 JPEG, 0x62 PNG, 0 other
  int64_t volume = 0;  // bytes from pos to its record's end; 0: not in the image
};

// Appends the pictures of the Data stream image [data, end) to list (up to
// capacity entries, count already there); returns the new count.
int FindWordPictures(const ByteCursor& img, int64_t data, int64_t end, WordPicture* list, int capacity, int count);

// Appends the pictures of the first picture page at or after from (of at most 900
// pages, below end): a page that begins 20 00 31 90, 30 00 31 90, 3A 00 31 90 or
// 35 00 12 30, whose records from its byte 32 on each hold one picture; returns the
// new count.
int FindWordPagePictures(const ByteCursor& img, int64_t from, int64_t end, WordPicture* list, int capacity, int count);

// Picture bytes (JPEG, PNG, BMP or TIFF by their first bytes) written to a work
// file and loaded as the shown picture; other bytes are left alone.
void ShowPictureBytes(CQelDoc& doc, std::string_view bytes);

// The grid of the Word roads over the dump's first string matrix: the call's
// charLimit bytes a row, up to its settingRows + 90 rows (fewer when the matrix is smaller).
WordGrid MakeWordGrid(DumpCall& call);
