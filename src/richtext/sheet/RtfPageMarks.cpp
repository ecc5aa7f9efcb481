#include "richtext/sheet/RtfPageMarks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "view/QelView.h"

namespace {

constexpr size_t kLookAhead = 40;
constexpr int64_t kMaxRtfFile = int64_t{256} << 20;

}  // namespace

std::string FixRtfPageMarksText(std::string_view rtf) {
  const size_t end = std::min(rtf.find('\0'), rtf.size());
  std::string out;
  out.reserve(rtf.size() + 64);
  size_t i = 0;
  while (i < end) {
    if (rtf.compare(i, 3, " ~~") != 0 || i + 3 > end) {
      out += rtf[i++];
      continue;
    }
    // The first "\pag" or "\par" within the look-ahead, never past the text.
    const size_t from = i + 3;
    const size_t limit = std::min(end, from + kLookAhead);
    size_t word = std::string_view::npos;
    for (size_t j = from; j + 4 <= limit; ++j) {
      if (rtf.compare(j, 3, "\\pa") == 0 && (rtf[j + 3] == 'g' || rtf[j + 3] == 'r')) {
        word = j;
        break;
      }
    }
    if (word == std::string_view::npos) {
      out += rtf.substr(i, 3);
      i += 3;
    } else if (rtf[word + 3] == 'g') {
      out += " ~`";
      i += 3;
    } else {
      out += "~`";
      out += rtf.substr(from, word - from);
      out += "\\page";
      i = word + 4;  // the 'd' of a "\pard" stays: "\page\pard"
      if (i < end && rtf[i] == 'd') out += "\\par";
    }
  }
  out += rtf.substr(end);
  return out;
}

int CQelView::FixRtfPageMarks(const std::string& path) {
  if (g_pDoc && g_pDoc->GetFileKind(path) != kKindRtf) return 0;
  plat::File file;
  if (!file.Open(path, plat::File::Mode::ReadWrite) || file.GetLength() > kMaxRtfFile) {
    AfxMessageBox(LoadString(IDS_CANNOT_OPEN) + "\nfile = " + plat::ShownPath(path) + "  (" + plat::Utf8ToCp932Lossy(std::strerror(errno)) + ")");
    return -1;
  }
  std::string bytes(static_cast<size_t>(std::max<int64_t>(file.GetLength(), 0)), '\0');
  const int64_t got = file.Read(bytes.data(), static_cast<int64_t>(bytes.size()));
  file.Close();
  bytes.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  const std::string fixed = FixRtfPageMarksText(bytes);
  if (fixed != bytes && !plat::WriteWholeFile(path, fixed)) {
    AfxMessageBox(LoadString(IDS_CANNOT_OPEN) + "\nfile = " + plat::ShownPath(path) + "  (" + plat::Utf8ToCp932Lossy(std::strerror(errno)) + ")");
    return -1;
  }
  return 0;
}
