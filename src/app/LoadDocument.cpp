// The load road: a file becomes the document's display text. Text files are shown
// as their text (converted from UTF-8, EUC-JP or JIS when the reading form asks);
// every other file goes to the file-to-text dump.
#include <algorithm>
#include <cstring>

#include "app/FileKind.h"
#include "app/FrameHost.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/ConvertStatus.h"
#include "base/SjisLeadByte.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

// Room behind the output volume for what a converter writes past its check.
constexpr int kConvMargin = 8192;
constexpr int kSmallInputVolume = 204800;
constexpr int kPdfInputVolume = 512000;
constexpr int kPartialLoadText = 235;  // "   <部分表示>"

bool PassesTableRules(int kind) {
  return kind == kKindDoc || kind == kKindXls || kind == kKindHtml || kind == kKindXlsx || kind > kKindLastDocument;
}

// What one load holds goes when it ends: the Office package in memory (up to the
// package cap), and the archive and samples of inflated picture data.
void DropLoadWorkFiles(CQelDoc& doc) {
  doc.DropPackage();
  if (doc.m_strRunTmp.empty()) return;  // this run has made no work file yet
  const std::string tmp = doc.TmpFolder();
  plat::RemoveFile(tmp + "\\temp.zip");
  plat::RemoveFile(tmp + "\\temp.txt");
}

// A text cut inside a double-byte character ends before its lead byte.
std::string_view WholeCharacters(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) i += IsSjisLeadByte(static_cast<uint8_t>(text[i])) ? 2 : 1;
  return i > text.size() ? text.substr(0, text.size() - 1) : text;
}

// The text road: the file's bytes (at most the input volume) shown as text in the
// reading form, at most the output volume of them. A file of /proc tells no length
// (lengthless) and is read to its end within the volume.
void ReadTextRoad(CQelDoc& doc, plat::File& file, bool lengthless) {
  int64_t length = file.GetLength();
  std::vector<char> bytes;
  const int64_t want = std::min<int64_t>(length, doc.m_nInDataLimit);
  if (!TryResize(bytes, static_cast<size_t>(std::max<int64_t>(want, 0)), &doc.m_allocHook)) {
    doc.WriteConvertFailure(ConvertStatus::OutOfMemory(" 051"));
  } else {
    int64_t got = file.Read(bytes.data(), want);
    if (lengthless) {
      if (std::optional<std::string> all = plat::ReadToEnd(file, int64_t{doc.m_nInDataLimit} + 1)) {
        length = static_cast<int64_t>(all->size());
        all->resize(std::min<size_t>(all->size(), static_cast<size_t>(std::max(doc.m_nInDataLimit, 0))));
        bytes.assign(all->begin(), all->end());
        got = static_cast<int64_t>(bytes.size());
      }
    }
    const std::string_view raw(bytes.data(), static_cast<size_t>(std::max<int64_t>(got, 0)));
    // Shift-JIS text is shown from the bytes read, without a copy between.
    std::string decoded;
    if (doc.m_nReadTextForm != 0 && !doc.m_bSjisFixed) decoded = doc.DecodeTextToSjis(raw, doc.m_nReadTextForm);
    const std::string_view text = doc.m_nReadTextForm != 0 && !doc.m_bSjisFixed ? std::string_view(decoded) : raw;
    doc.m_nConvPos = 0;
    // At most the output volume is shown; the buffer's margin holds the note. The
    // text ends at the output volume when it is over it, whatever the input cut.
    const size_t outLimit = static_cast<size_t>(std::max(doc.m_nOutDataLimit, 0));
    const bool outputCut = text.size() > outLimit;
    doc.ConvAppend(WholeCharacters(text.substr(0, std::min(text.size(), outLimit))));
    doc.AppendTextCutNote(got < length && !outputCut, outputCut);
  }
}

}  // namespace

int CQelDoc::LoadDocument(std::string path, int mode) {
  AllowImageLoad();
  m_bUserAbort = 0;
  m_bPartialLoad = 0;
  m_volumeCut = VolumeCut::kNone;
  m_bNothingShown = 0;
  // A file on an FTP pseudo-drive is fetched into TMP and shown from there (one cut at
  // its volume is shown as partial); one that cannot be fetched, and a site's letter
  // that is no pseudo-drive, fail with their reason, never read as the local path.
  bool fetchedCut = false;
  if (RefuseFalseFtpDrive(path)) return -1;
  if (GetFtpDriveIndex(path) > 0) {
    std::string local = FetchPseudoDriveFile(path, &fetchedCut);
    if (local.empty()) return -1;
    path = local;
  }
  m_strPathName = path;
  m_nFileKind = GetFileKind(path);

  if (!AllocateConvBuffer(std::max(m_nOutDataLimit, 0) + kConvMargin)) {
    AfxMessageBox(OutOfMemoryText(" 050"));
    return -1;
  }
  m_bConvBufOwned = 1;

  plat::File file;
  const bool readable = file.Open(path, plat::File::Mode::Read);
  // A pipe or a device has no length and can be read once: the roads read a file by
  // its length and again by its name, so only a regular file is read as one.
  const std::optional<plat::FileInfo> info = readable ? plat::Stat(path) : std::nullopt;
  // A file of /proc tells a length of 0 and holds text: the roads that go by the
  // length would show nothing, so it is read to its end as a text.
  const bool lengthless = info && info->size == 0 && !info->isSpecial && !IsImageKind(m_nFileKind) &&
                          !plat::ReadFileHead(path, 1).value_or("").empty();
  int result = 0;
  if (!readable) {
    WriteConvertFailure(ConvertStatus::Message(IDS_CANNOT_OPEN));
    result = m_nConvPos;
  } else if (!info || info->isSpecial) {
    WriteConvertFailure(ConvertStatus::Message(IDS_CANNOT_OPEN).With(
        plat::Utf8ToCp932Lossy("(not a regular file: a pipe or a device is not read)\r\n")));
    result = m_nConvPos;
  } else if (IsImageKind(m_nFileKind) && m_nDisplayForm == 0 && mode < 9) {
    file.Close();
    result = LoadImageRoad(path);
  } else if ((m_nFileKind == kKindText || lengthless) && m_nDisplayForm == 0) {
    ReadTextRoad(*this, file, lengthless);
    result = m_nConvPos;
  } else {
    file.Close();
    const bool pdf = m_nFileKind == kKindPdf;
    if (pdf) {
      BuildCidTables();
      if (m_nInDataLimit == kSmallInputVolume) {
        m_nInDataLimit = kPdfInputVolume;
        m_nTableRows = 19000;
      }
    }
    const int bTableRules = m_bVerticalRules == 1 && PassesTableRules(m_nFileKind) ? 1 : 0;
    result = DumpFileAsText(path, bTableRules, 0);
    if (pdf && m_nInDataLimit == kPdfInputVolume) {
      m_nInDataLimit = kSmallInputVolume;
      m_nTableRows = 9000;
    }
  }
  DropLoadWorkFiles(*this);
  // A road may have replaced the buffer (and, out of memory, left none).
  if (!m_pConvBuf || m_nConvCap < 1) result = 0;
  DisplayWriter(m_pConvBuf, m_nConvCap, result).Terminate();  // also brings result into the buffer
  m_nTextLen = result;

  // The display text becomes the document text. When it lies in the conversion
  // buffer's own storage, that storage is handed over (no copy, no second set of
  // pages) and the conversion buffer starts afresh, untouched until written.
  const size_t textBytes = static_cast<size_t>(result) + 1;
  const bool handOver = m_pConvBuf && m_pConvBuf == m_convStore.data() && textBytes <= m_convStore.size();
  if (handOver && m_allocHook.Allow(textBytes)) {
    m_textStore.swap(m_convStore);
    m_textStore.resize(textBytes);
    m_textStore[static_cast<size_t>(result)] = '\0';
    m_pText = m_textStore.data();
    m_nTextCap = static_cast<int>(m_textStore.size());
    m_convStore = ZeroedVector<char>();
    if (TryResize(m_convStore, static_cast<size_t>(m_nConvCap), nullptr)) {
      m_pConvBuf = m_convStore.data();
    } else {
      m_pConvBuf = nullptr;
      m_nConvCap = 0;
    }
  } else if (!handOver && TryResize(m_textStore, textBytes, &m_allocHook)) {
    if (m_pConvBuf) std::memcpy(m_textStore.data(), m_pConvBuf, textBytes);
    m_textStore[static_cast<size_t>(result)] = '\0';
    m_pText = m_textStore.data();
    m_nTextCap = static_cast<int>(m_textStore.size());
  } else {
    AfxMessageBox(OutOfMemoryText(" 052"));
    m_nTextLen = 0;
  }
  if (fetchedCut) m_bPartialLoad = 1;
  // An RTF in the normal display form is shown in the rich-text pane from the file
  // itself, read up to the input volume (the text above is only the converter's): it
  // is shown in part exactly when the file is longer than that volume.
  if (m_nFileKind == kKindRtf && m_nDisplayForm == 0 && !fetchedCut) {
    const auto info = plat::Stat(path);
    m_bPartialLoad = info && info->size > std::max<int64_t>(m_nInDataLimit, 0) ? 1 : 0;
  }
  // A PDF cut at its full canvas keeps the road's own "continued" text in the pane.
  if (m_bPartialLoad && FrameHost() && m_nFileKind != kKindPdf) FrameHost()->StatusText(0, LoadString(kPartialLoadText));

  m_nViewRequest = ViewRequest::kRedisplay;
  UpdateAllViews();
  // A file of which nothing could be shown (its text is the reason) fails the load.
  return readable && !m_bNothingShown ? 0 : -1;
}
