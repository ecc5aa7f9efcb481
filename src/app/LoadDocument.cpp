// The load road: a file becomes the document's display text. A picture goes to the
// image road; every other file to the file-to-text dump, whose road table shows a text
// file as its text.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "app/FileKind.h"
#include "app/FrameHost.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/ConvertStatus.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

// Room behind the output volume for what a converter writes past its check.
constexpr int kConvMargin = 8192;
constexpr int kSmallInputVolume = 204800;
constexpr int kPdfInputVolume = 512000;
constexpr int kPdfTableRows = 19000;

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

// What the load learns of the file before a road reads it.
struct LoadSource {
  bool readable = false;    // it opens for reading
  int error = 0;            // why it does not (errno)
  bool regular = false;     // a regular file (a pipe or a device has no length and reads once)
  bool lengthless = false;  // a file of /proc: it tells a length of 0 and holds text
};

LoadSource ExamineSource(const std::string& path, int kind) {
  LoadSource source;
  plat::File file;
  source.readable = file.Open(path, plat::File::Mode::Read);
  source.error = source.readable ? 0 : errno;
  file.Close();
  // The roads read a file by its length and again by its name, so only a regular file
  // is read as one. A lengthless file would show nothing by its length: it is read to
  // its end as a text.
  const std::optional<plat::FileInfo> info = source.readable ? plat::Stat(path) : std::nullopt;
  source.regular = info && !info->isSpecial;
  source.lengthless = source.regular && info->size == 0 && !IsImageKind(kind) &&
                      !plat::ReadFileHead(path, 1).value_or("").empty();
  return source;
}

// The volumes the dump uses for this file: the settings' own, except that a PDF read
// under the small input volume gets a larger one and more table rows for the run.
CQelDoc::DumpRequest DumpRequestFor(const CQelDoc& doc, bool lengthless) {
  CQelDoc::DumpRequest request = doc.DumpVolumes(lengthless);
  if (doc.m_nFileKind == kKindPdf && doc.m_nInDataLimit == kSmallInputVolume) {
    request.inputVolume = kPdfInputVolume;
    request.tableRows = std::max(kPdfTableRows, request.tableRows);  // n_tbl still raises them
  }
  return request;
}

// The road of the file: a refusal when it cannot be read as a file, the image road,
// or the dump (which shows a text file as its text). The length of the display text.
int RunLoadRoad(CQelDoc& doc, const std::string& path, const LoadSource& source) {
  if (!source.readable) {
    // The file as the user named it and the system's reason, as cat says them.
    doc.WriteConvertFailure(ConvertStatus::Message(IDS_CANNOT_OPEN).With(
        plat::ShownPath(path) + plat::Utf8ToCp932Lossy(": " + std::string(std::strerror(source.error ? source.error : EIO)) + "\r\n")));
    return doc.m_nConvPos;
  }
  if (!source.regular) {
    doc.WriteConvertFailure(ConvertStatus::Message(IDS_CANNOT_OPEN).With(
        plat::Utf8ToCp932Lossy("(not a regular file: a pipe or a device is not read)\r\n")));
    return doc.m_nConvPos;
  }
  if (IsImageKind(doc.m_nFileKind) && doc.m_nDisplayForm == 0) return doc.LoadImageRoad(path);
  if (doc.m_nFileKind == kKindPdf) doc.BuildCidTables();
  const int bTableRules = doc.m_bVerticalRules == 1 && PassesTableRules(doc.m_nFileKind) ? 1 : 0;
  return doc.DumpFileAsText(path, bTableRules, 0, DumpRequestFor(doc, source.lengthless));
}

// The display text becomes the document text. When it lies in the conversion buffer's
// own storage, that storage is handed over (no copy, no second set of pages) and the
// conversion buffer starts afresh, untouched until written.
void TakeDisplayText(CQelDoc& doc, int result) {
  // A road may have replaced the buffer (and, out of memory, left none).
  if (!doc.m_pConvBuf || doc.m_nConvCap < 1) result = 0;
  DisplayWriter(doc.m_pConvBuf, doc.m_nConvCap, result).Terminate();  // also brings result into the buffer
  doc.m_nTextLen = result;
  const size_t textBytes = static_cast<size_t>(result) + 1;
  const bool handOver = doc.m_pConvBuf && doc.m_pConvBuf == doc.m_convStore.data() && textBytes <= doc.m_convStore.size();
  if (handOver && doc.m_allocHook.Allow(textBytes)) {
    doc.m_textStore.swap(doc.m_convStore);
    doc.m_textStore.resize(textBytes);
    doc.m_textStore[static_cast<size_t>(result)] = '\0';
    doc.m_pText = doc.m_textStore.data();
    doc.m_nTextCap = static_cast<int>(doc.m_textStore.size());
    doc.m_convStore = ZeroedVector<char>();
    if (TryResize(doc.m_convStore, static_cast<size_t>(doc.m_nConvCap), nullptr)) {
      doc.m_pConvBuf = doc.m_convStore.data();
    } else {
      doc.m_pConvBuf = nullptr;
      doc.m_nConvCap = 0;
    }
  } else if (!handOver && TryResize(doc.m_textStore, textBytes, &doc.m_allocHook)) {
    if (doc.m_pConvBuf) std::memcpy(doc.m_textStore.data(), doc.m_pConvBuf, textBytes);
    doc.m_textStore[static_cast<size_t>(result)] = '\0';
    doc.m_pText = doc.m_textStore.data();
    doc.m_nTextCap = static_cast<int>(doc.m_textStore.size());
  } else {
    AfxMessageBox(OutOfMemoryText(" 052"));
    doc.m_nTextLen = 0;
  }
}

// Whether the file is shown in part: a fetch cut at its volume is; an RTF in the normal
// display form is shown in the rich-text pane from the file itself, read up to the
// input volume (the text above is only the converter's), so it is shown in part
// exactly when the file is longer than that volume. A part is told in the status
// line, except for a PDF cut at its full canvas, which keeps the road's own
// "continued" text there.
void MarkPartialLoad(CQelDoc& doc, const std::string& path, bool fetchedCut) {
  if (fetchedCut) doc.m_bPartialLoad = 1;
  if (doc.m_nFileKind == kKindRtf && doc.m_nDisplayForm == 0 && !fetchedCut) {
    const auto info = plat::Stat(path);
    doc.m_bPartialLoad = info && info->size > std::max<int64_t>(doc.m_nInDataLimit, 0) ? 1 : 0;
  }
  if (doc.m_bPartialLoad && doc.FrameHost() && doc.m_nFileKind != kKindPdf) doc.FrameHost()->StatusText(0, LoadString(IDS_SHOWN_IN_PART));
}

}  // namespace

// The load: the fetch of a file on a pseudo-drive, the file's kind, the conversion
// buffer, the road of the file, the display text, the partial mark and the views.
int CQelDoc::LoadDocument(std::string path) {
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

  const LoadSource source = ExamineSource(path, m_nFileKind);
  const int result = RunLoadRoad(*this, path, source);
  DropLoadWorkFiles(*this);
  TakeDisplayText(*this, result);
  MarkPartialLoad(*this, path, fetchedCut);

  m_nViewRequest = ViewRequest::kRedisplay;
  UpdateAllViews();
  // A file of which nothing could be shown (its text is the reason) fails the load.
  return source.readable && !m_bNothingShown ? 0 : -1;
}

int CQelDoc::LoadDocument(std::string path, int displayForm) {
  const int own = std::exchange(m_nDisplayForm, displayForm);
  const int result = LoadDocument(std::move(path));
  m_nDisplayForm = own;
  return result;
}
