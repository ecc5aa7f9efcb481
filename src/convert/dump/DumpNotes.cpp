// The texts a converter appends when a limit is reached: the file-size-over message
// and the truncation note.
#include <string>

#include "app/QelDoc.h"
#include "app/StringTable.h"

namespace {

constexpr int kMegabyte = 1048576;
constexpr size_t kSizeOverHead = 24;  // "ファイル容量オーバーです" in Shift-JIS

}  // namespace

void CQelDoc::AppendFileSizeOver() {
  std::string text = LoadString(IDS_FILE_SIZE_OVER);
  const int megabytes = m_nInDataLimit / kMegabyte;
  if (megabytes == 0) {
    text = text.substr(0, kSizeOverHead) + "(>500KB)";
  } else if (const size_t at = text.find("%d"); at != std::string::npos) {
    text.replace(at, 2, std::to_string(megabytes));
  }
  ConvAppend(text);
}

void CQelDoc::AppendTruncationNote() {
  ConvAppend(LoadString(IDS_DATA_OMITTED));
  AppendFileSizeOver();
}
