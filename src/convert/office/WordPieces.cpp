// The piece table of a Word file (where each run of its text lies in the main
// stream and whether it is 8- or 16-bit), and the pictures of its Data stream.
// Both read the stream image through the byte cursor; the piece arrays are filled up to
// their capacity and never past the image.
#include <algorithm>

#include "app/QelDoc.h"
#include "convert/office/RawImage.h"
#include "convert/office/WordText.h"

int CQelDoc::ReadWordPieceTable(int start, int* cps, int* fcs, int generation, int capacity) {
  const ByteCursor img = RawImageOf(*this);
  int64_t p = start;
  if (p < 0 || !img.Inside(p)) return 0;
  if (img.PeekU8(p) != 2 || img.PeekU8(p + 1) == 0x80) p += generation == 7 ? 36 : 30;
  if (img.PeekU8(p) != 1 && img.PeekU8(p) != 2) p += generation == 7 ? 8 : 4;

  // Property entries (1) until the piece table (2).
  int64_t count = 0;
  for (int guard = 0; guard < 100000 && img.Inside(p); ++guard) {
    const uint8_t type = img.PeekU8(p);
    if (type == 1) {
      const int b = img.PeekU8(p + 1);
      p += b != 0 ? 1 + 2 + b : 7;
    } else if (type == 2) {
      if (img.PeekU8(p + 4) != 0) {
        p += 5 + 3;
        continue;
      }
      count = img.PeekU24LE(p + 1) / 12;
      p += 5;
      break;
    } else {
      return 0;
    }
  }
  if (count <= 0) return 0;
  const int n = static_cast<int>(std::min<int64_t>(count, capacity - 1));

  // n + 1 character positions, then the n descriptors (file offset at byte 2).
  for (int k = 0; k <= n; ++k) cps[k] = static_cast<int>(img.PeekU24LE(p + 4 * k));
  p += 4 * (count + 1);
  int pieces = 0;
  for (; pieces < n; ++pieces) {
    const int64_t d = p + 8 * static_cast<int64_t>(pieces);
    if (!img.Inside(d + 7)) break;
    fcs[pieces] = static_cast<int>(img.PeekU32LE(d + 2));
    if (fcs[pieces] == 0 || (img.PeekU8(d) == 0xFF && img.PeekU8(d + 1) == 0xFF)) break;
  }
  m_nRawPos = p;
  return pieces;
}

// Pictures of the Data stream: records stepped over by their lengths; a picture
// record (length, header length 0x44, mapping mode 0x64) is searched for the JPEG or
// PNG data it embeds.
int FindWordPictures(const ByteCursor& img, int64_t data, int64_t end, WordPicture* list, int capacity, int count) {
  int64_t p = data;
  for (int guard = 0; guard < 100000 && p + 8 <= end && count < capacity; ++guard) {
    if ((img.PeekU8(p + 2) == 0x16 && img.PeekU8(p + 3) == 0x24) || (img.PeekU8(p + 2) == 0x6B && img.PeekU8(p + 3) == 0x64)) {
      const int step = img.PeekU16LE(p);
      if (step <= 0) break;
      p += step;
      continue;
    }
    const uint32_t length = img.PeekU32LE(p);
    if (img.PeekU16LE(p + 4) != 0x44 || img.PeekU16LE(p + 6) != 0x64 || length < 0x44 || length > 0x0FFFFFFF) break;
    const int64_t recordEnd = std::min<int64_t>(p + length, end);
    WordPicture pic{p + 0x44, 0};
    for (int64_t q = p + 0x44; q + 4 <= recordEnd; ++q) {
      if (img.PeekU8(q) == 0xFF && img.PeekU8(q + 1) == 0xD8 && img.PeekU8(q + 2) == 0xFF) {
        pic = {q, 0x52};
        break;
      }
      if (img.PeekU8(q) == 0x89 && img.PeekU8(q + 1) == 0x50 && img.PeekU8(q + 2) == 0x4E && img.PeekU8(q + 3) == 0x47) {
        pic = {q, 0x62};
        break;
      }
    }
    list[count++] = pic;
    p += length;
  }
  return count;
}
