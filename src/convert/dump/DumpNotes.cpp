// The texts a converter appends when a limit is reached: the file-size-over message,
// the truncation note, and the note of a text cut at either volume.
#include <algorithm>
#include <string>

#include "app/QelDoc.h"
#include "app/StringTable.h"

namespace {

constexpr int kMegabyte = 1048576;
constexpr size_t kSizeOverHead = 24;  // "ファイル容量オーバーです" in Shift-JIS
constexpr int kShownKilobytes = 500;

}  // namespace

void CQelDoc::AppendFileSizeOver(int inputVolume) {
  std::string text = LoadString(IDS_FILE_SIZE_OVER);
  const int megabytes = inputVolume / kMegabyte;
  if (megabytes == 0) {
    // Below 1 MB the volume is given as 500 KB (the default's and a PDF's), or as
    // its own figure when it is smaller (200 KB for a volume set to 0).
    const int kilobytes = std::min(std::max(inputVolume, 0) / 1024, kShownKilobytes);
    text = text.substr(0, kSizeOverHead) + "(>" + std::to_string(kilobytes) + "KB)";
  } else if (const size_t at = text.find("%d"); at != std::string::npos) {
    text.replace(at, 2, std::to_string(megabytes));
  }
  ConvAppend(text);
  m_volumeCut = VolumeCut::kInput;
}

void CQelDoc::AppendTruncationNote(int inputVolume) {
  ConvAppend(LoadString(IDS_DATA_OMITTED));
  AppendFileSizeOver(inputVolume);
}

void CQelDoc::AppendTextCutNote(int inputVolume, bool inputCut, bool outputCut) {
  if (!inputCut && !outputCut) return;
  m_bPartialLoad = 1;
  if (m_bQuickHead != 0) return;  // the quick head display shows a head, not a cut file
  if (inputCut) {
    AppendTruncationNote(inputVolume);
  } else {
    ConvAppend(LoadString(IDS_DATA_OMITTED));
    ConvAppend(LoadString(IDS_DISPLAY_VOLUME_OVER));
    m_volumeCut = VolumeCut::kOutput;
  }
}
