// What the archive listings share: the ratio column, and the frame of the table
// (heading and rule, the totals, the stop at the output volume).
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "base/StringIds.h"
#include "convert/dump/DumpSteps.h"
#include "platform/text/CodePage.h"

// Compressed size as a percentage of the original, in integers: 0 for an empty or
// negative original; a large compressed size divides the original first.
constexpr int64_t ListingRatio(int64_t compressed, int64_t original) {
  if (original <= 0) return 0;
  if (compressed < 10000000) return compressed * 100 / original;
  return original < 100 ? 0 : compressed / (original / 100);
}

// A listing's frame: the heading and the rule start the display text; the rows
// count into the totals, which stay at the largest value rather than overflow.
class ListingTable {
 public:
  // A listing reads the archive through its own window, whatever the dump read of
  // it: only a listing cut at the output volume is partial.
  ListingTable(CQelDoc& doc, const char* heading, const char* rule) : doc_(doc) {
    doc.m_bPartialLoad = 0;
    doc.m_nConvPos = 0;
    doc.ConvAppend(heading);
    doc.ConvAppend(rule);
  }

  void Count(int64_t compressed, int64_t original) {
    if (compressed > 0) ++files_;
    compressed_ = Add(compressed_, compressed);
    original_ = Add(original_, original);
  }
  // True, with the load marked partial, once the text reaches the output volume.
  bool Full() {
    if (doc_.m_nConvPos < doc_.m_nOutDataLimit) return false;
    doc_.m_bPartialLoad = 1;
    return true;
  }

  int64_t Compressed() const { return compressed_; }
  int64_t Original() const { return original_; }
  long long Files() const { return files_; }
  int64_t Ratio() const { return ListingRatio(compressed_, original_); }

 private:
  static int64_t Add(int64_t total, int64_t size) {
    return size > std::numeric_limits<int64_t>::max() - total ? std::numeric_limits<int64_t>::max() : total + size;
  }

  CQelDoc& doc_;
  int64_t compressed_ = 0;
  int64_t original_ = 0;
  long long files_ = 0;
};

// An archive whose header at `at` cannot be read, or whose member there passes the
// file's end, is damaged: the call ends with its message in place of the listing.
inline ConvertStatus DamagedListing(CQelDoc& doc, DumpCall& call, const char* format, int64_t at) {
  doc.m_nConvPos = 0;
  FinishDump(doc, call);
  return ConvertStatus::Message(IDS_FILE_DAMAGED)
      .With(plat::Utf8ToCp932Lossy(std::string(format) + "のヘッダー: " + std::to_string(at) + " バイト目"));
}
