// File sniffing: the first significant bytes and the last three characters of the
// name decide what a file is, whatever its name says: rich text, PDF or HTML; a ZIP
// or LZH archive to list; a picture or program of which only a title is shown; bytes
// to copy as they stand; or a file for the main road. Only the bytes of the first
// read are looked at: a "<!" declaration not closed within 500 bytes makes the
// sniffing look at the start of the file, and missing bytes read as 0.
#include <algorithm>
#include <cstring>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/AsciiCase.h"
#include "base/ByteCursor.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/DumpSteps.h"

namespace {

constexpr int64_t kDeclarationEnd = 500;  // "<!" declarations are passed within these bytes
constexpr int64_t kShortCopy = 2000;

// The sniffing position: after line ends and "<!" declarations and comments, or 0
// when a declaration does not close within the first 500 bytes.
int64_t SniffPosition(const ByteCursor& in) {
  const int64_t n = in.Size();
  int64_t pos = 0;
  for (;;) {
    while (pos < n && (in.PeekU8(pos) == '\r' || in.PeekU8(pos) == '\n')) ++pos;
    if (pos + 1 >= n || in.PeekU8(pos) != '<' || in.PeekU8(pos + 1) != '!') return pos;
    int64_t i = pos + 2;
    const int64_t end = std::min(n, kDeclarationEnd);
    const auto closes = [&](int64_t at) {
      const uint8_t c = in.PeekU8(at);
      return (c == '-' || c == '"') && in.PeekU8(at + 1) == (c == '-' ? '>' : '-');
    };
    while (i + 1 < end && !closes(i)) ++i;
    if (i + 1 >= end) return 0;
    pos = i + 2;
  }
}

struct PictureTitle {
  const char* ext;
  bool (*matches)(const uint8_t* m);
  const char* title;
};

constexpr PictureTitle kPictures[] = {
    {"jpg",
     [](const uint8_t* m) {
       return (m[0] == 0xFF && m[1] == 0xD8 && m[2] == 0xFF) || (m[0] == 0 && m[1] == 5 && m[2] == 'f' && m[3] == '.');
     },
     "JPEG File\r\n\r\n"},
    {"bmp", [](const uint8_t* m) { return m[0] == 'B' && m[1] == 'M'; }, "BMP File\r\n\r\n"},
    {"tif", [](const uint8_t* m) { return m[0] == 'I' && m[1] == 'I'; }, "TIFF File\r\n\r\n"},
    {"gif", [](const uint8_t* m) { return m[0] == 'G' && m[1] == 'I' && m[2] == 'F'; }, nullptr},
};

enum class Next { LzhTest, ExtensionTest };

}  // namespace

bool SniffDumpFile(CQelDoc& doc, DumpCall& call) {
  doc.m_nConvPos = 0;
  doc.Convert().m_nRawPos = 0;
  doc.ConvWriter().Terminate();
  const ByteCursor in(doc.Convert().m_pRawData, call.bytesRead);
  const int64_t at = SniffPosition(in);
  uint8_t m[6] = {};
  for (int k = 0; k < 6; ++k) m[k] = in.PeekU8(at + k);

  auto title = [&](std::string_view text) {
    doc.m_nConvPos = 0;
    doc.ConvAppend(text);
    FinishDump(doc, call);
    return true;
  };

  if (std::memcmp(m, "{\\rtf", 5) == 0) {
    if (doc.m_nFileKind == kKindOther) doc.m_nFileKind = kKindRtf;
    if (!(doc.m_nDisplayForm == 0 && doc.m_bRichTextDisplay)) call.kind = kKindRtf;
  }
  if (doc.m_nDisplayForm == 1) return false;

  Next next = Next::LzhTest;
  if (m[0] == '%') {
    if (m[1] == 'P' && m[2] == 'D') {
      if (m[3] == 'F' && m[4] == '-' && doc.m_nFileKind != kKindOther) {
        call.kind = doc.m_nFileKind = kKindPdf;
        return false;
      }
      next = Next::ExtensionTest;
    }
  } else if (m[0] == '<') {
    if (std::memcmp(m, "<html", 5) == 0 || std::memcmp(m, "<HTML", 5) == 0) {
      if (call.kind != kKindText) {
        call.kind = doc.m_nFileKind = kKindHtml;
        if (doc.m_bVerticalRules == 1) call.bTableRules = 1;
        return false;
      }
    } else if ((m[1] == 'h' && m[2] == 't') || (m[1] == 'H' && m[2] == 'T')) {
      next = Next::ExtensionTest;
    }
  } else if (m[0] == 'P' && m[1] == 'K') {
    if ((m[2] == 3 && m[3] == 4) || (m[2] == 0x30 && m[3] == 0x30 && m[4] == 0x50 && m[5] == 0x4B)) {
      if (!((call.kind == kKindXlsx || call.kind == kKindDocx) && doc.m_nDisplayForm != 2)) {
        doc.WriteConvertFailure(DumpZipListing(doc, call));
        return true;
      }
    } else if (m[2] == 3 || m[2] == 0x30) {
      next = Next::ExtensionTest;
    }
  }

  if (next == Next::LzhTest) {
    if (m[2] == '-' && m[3] == 'l' && m[4] == 'h' && EqualsNoCase(call.ext3, "lzh")) {
      doc.WriteConvertFailure(DumpLzhListing(doc, call));
      return true;
    }
    // Pictures: the title when the name agrees with the bytes.
    for (const PictureTitle& picture : kPictures) {
      if (!picture.matches(m)) continue;
      if (!EqualsNoCase(call.ext3, picture.ext)) break;
      if (picture.title) return title(picture.title);
      const char gif[] = {'G', 'I', 'F', static_cast<char>(m[3]), static_cast<char>(m[4]), static_cast<char>(m[5])};
      return title(std::string(gif, sizeof gif) + " File\r\n\r\n");
    }
  }

  // Extension test.
  if (EqualsNoCase(call.ext3, "exe") || EqualsNoCase(call.ext3, "com")) return title("Program File\r\n\r\n");
  if (EqualsNoCase(call.ext3, "bin")) return title("Binary File\r\n\r\n");
  if (EqualsNoCase(call.ext3, "dll")) return title("Dynamic Link File\r\n\r\n");
  if (IsPlainCopyKind(call.kind)) DumpPlainCopy(doc, call);
  return false;
}

void DumpPlainCopy(CQelDoc& doc, DumpCall& call) {
  const bool shortCopy = doc.m_nListLayout == 2 || doc.m_nListLayout == 12 || doc.m_bNoDisplay == 1 ||
                         (IsImageKind(doc.m_nFileKind) && doc.m_nDisplayForm == 0);
  const int64_t room = static_cast<int64_t>(doc.m_nOutDataLimit) + 3000;
  const int64_t count = std::max<int64_t>(
      0, std::min({shortCopy ? kShortCopy : call.readSize, call.bytesRead, room}));
  doc.m_nConvPos = 0;
  const int copied = doc.ConvAppend(std::string_view(reinterpret_cast<const char*>(doc.Convert().m_pRawData), static_cast<size_t>(count)));
  if (copied < call.fileLength) doc.m_bPartialLoad = 1;
  if (call.binary && copied == kShortCopy) {
    // The cut bytes of a binary-looking file are followed by the note, whatever the last one is.
    doc.ConvAppend(LoadString(IDS_DATA_OMITTED));
  } else if (copied > 0 && static_cast<uint8_t>(doc.m_pConvBuf[copied - 1]) == 0x1A) {
    // The end-of-file mark of an old text file is not part of its text.
    DisplayWriter out = doc.ConvWriter();
    out.SetPos(out.Pos() - 1);
    out.Terminate();
  }
}
