// CQelDoc: the one document, the program's shared state. Its fields are grouped by
// the subsystem that owns them (each group a struct in that subsystem's folder);
// its operations are listed here by subsystem and defined in that subsystem's folder.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/DocState.h"
#include "app/PathPart.h"
#include "base/DisplayWriter.h"
#include "base/Alloc.h"

struct ConvertStatus;  // base/ConvertStatus.h
struct ConvertState;   // convert/ConvertState.h
struct DumpCall;       // convert/dump/DumpCall.h
struct OfficeState;    // convert/office/OfficeState.h
class SheetTables;     // convert/office/xls/SheetTables.h
struct SheetSummary;   // convert/office/xls/WorkbookWalk.h
struct ArchiveState;   // archive/ArchiveState.h
struct ArchiveStatus;  // ops/ArchiveStatus.h
// The archive operations' modes (ops/ArchiveModes.h, ops/SourceMode.h).
enum class CompressMode : int;
enum class PackMode : int;
enum class PackMessages : int;
enum class ZipPacker : int;
enum class ExtractMode : int;
enum class ExtractOverwrite : int;
class PackName;
enum class LzhMode : int;
enum class CipherDirection : int;
enum class NameForm : int;
enum class SourceMode : int;
struct MediaState;     // media/MediaState.h
struct NetState;       // net/NetState.h
struct NetStatus;      // net/NetStatus.h
struct ParsedAddress;  // net/Address.h
enum class NetScheme : int;
namespace plat {
struct DirEntry;  // platform/os/Files.h: an entry of a listed folder
}
struct RichTextState;  // richtext/RichTextState.h
struct ImageState;     // image/ImageState.h
struct BITMAPINFO;     // image/codecs/Dib.h
class CFrameHost;      // app/FrameHost.h

// A view of the document: told to update when the document changes.
class CDocView {
 public:
  virtual ~CDocView() = default;
  virtual void OnUpdate() = 0;
};

class CQelDoc : public DocState {
 public:
  // programDir: the program folder (Windows path); "" takes PELNORIX_HOME, else
  // ~/.local/share/pelnorix. frame: the frame the document is shown in, which outlives
  // it; null for a document without a window (its boxes and notes go to standard error).
  explicit CQelDoc(std::string programDir = "", CFrameHost* frame = nullptr);
  ~CQelDoc();
  CQelDoc(const CQelDoc&) = delete;
  CQelDoc& operator=(const CQelDoc&) = delete;

  // The subsystems' states, each declared in its subsystem's folder.
  ConvertState& Convert() { return *convert_; }
  const ConvertState& Convert() const { return *convert_; }
  OfficeState& Office() { return *office_; }
  const OfficeState& Office() const { return *office_; }
  ArchiveState& Archive() { return *archive_; }
  const ArchiveState& Archive() const { return *archive_; }
  MediaState& Media() { return *media_; }
  const MediaState& Media() const { return *media_; }
  NetState& Net() { return *net_; }
  const NetState& Net() const { return *net_; }
  RichTextState& RichText() { return *richText_; }
  const RichTextState& RichText() const { return *richText_; }

  // Application core: loading, kinds, paths, settings, folders, views.
  // LoadDocument: 0 shown; -1 when the file cannot be opened or nothing of it can be
  // shown (the display text then gives the reason).
  int LoadDocument(std::string path);
  // The same in displayForm (a pane reading its file again as it shows it): the form
  // holds for this load and the views' update only; the document's own stays.
  int LoadDocument(std::string path, int displayForm);
  int GetFileKind(std::string path) const;
  static std::string GetPathPart(std::string path, PathPart part);
  int ApplySettingsOnce(int mode);
  int DeleteFolderTree(std::string folder, int removeFiles, int removeFolders, int recurse, int selector, int limit);
  void RefreshFileLists();
  // The file after the active list's current one in the list's order, folders
  // skipped; "" after the last one or without a list (src/filelist/).
  std::string NextListEntry() const;
  // A size or flag letter (the home string's "@X"): the repeat flags, the letter
  // case flag and the text or table font size.
  void SetSizeFromLetter(char letter);
  // The frame the document is shown in (null without one): its message boxes, notes
  // and status text go there.
  CFrameHost* FrameHost() const { return frame_; }
  void UpdateAllViews();
  // Hands a one-shot job to the text pane, whose update performs it: 1 when it was
  // done, -1 when the pane took it and it failed (its message said why), 0 when no
  // view took it. An action no view took is not left for the next picture, but a
  // metafile load stays for the document to draw (TakePendingMetafile).
  int PostViewAction(const ViewAction& action);
  // True (and no longer pending) when a metafile load was posted and no view took it.
  bool TakePendingMetafile();
  void AddView(CDocView* view);
  void RemoveView(CDocView* view);
  std::string TmpFolder() const;  // this run's work folder below program folder + "\TMP", made on first use
  void SecureProgramFolder();     // makes the program folder and TMP private, or refuses them

  // Display text (DisplayTextBuffer): bounded writes at m_nConvPos.
  bool AllocateConvBuffer(int bytes);
  // The writer over the converter output; cut writes mark the load partial.
  DisplayWriter ConvWriter() { return DisplayWriter(m_pConvBuf, m_nConvCap, m_nConvPos, &m_bPartialLoad); }
  // A converter's failure as display text at the write position: its message, and
  // after string 152 its place code. Written at position 0 it is all the text: the
  // load shows nothing of the file (m_bNothingShown).
  void WriteConvertFailure(const ConvertStatus& status);
  int ConvAppend(std::string_view text);
  int ConvPrintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  int ConvVPrintf(const char* format, va_list args);

  // Format converters.
  int ConvertCharToSjis(unsigned char b0, unsigned char b1, unsigned char b2, int mode, int limit);
  // A whole text read in another form (convert/charmap/TextDecode.h) in Shift-JIS; a
  // character that cannot be converted becomes '?'.
  std::string DecodeTextToSjis(std::string_view bytes, int form);
  // Fills the CidToSjisTables from their ranges.
  void BuildCidTables();
#include "convert/dump/DumpOps.inc"
#include "convert/markup/MarkupOps.inc"
#include "convert/office/OfficeOps.inc"
#include "convert/ooxml/OoxmlOps.inc"
#include "convert/office/OfficeTextOps.inc"
#include "convert/pdf/PdfOps.inc"

  // Archives, compression and encryption.
#include "archive/ArchiveOps.inc"

  // Images.
#include "image/ImageOps.inc"

#include "net/NetOps.inc"

#include "media/MediaOps.inc"

  // Allocations of the system's volumes go through this hook (tests make them fail).
  AllocHook m_allocHook;

  // The subsystems' states, each held by the document and reached through its accessor.
  ImageState& Image() { return *image_; }
  const ImageState& Image() const { return *image_; }

 private:
  CFrameHost* frame_;
  std::vector<CDocView*> m_views;
  std::unique_ptr<ConvertState> convert_;
  std::unique_ptr<OfficeState> office_;
  std::unique_ptr<ArchiveState> archive_;
  std::unique_ptr<MediaState> media_;
  std::unique_ptr<NetState> net_;
  std::unique_ptr<RichTextState> richText_;
  std::unique_ptr<ImageState> image_;
};

// Asks string 218 when the file exists; 0 on Cancel, 1 to go on (also when it does not
// exist). A target on an FTP pseudo-drive is refused (CQelDoc::RefuseFtpDriveSave): 0.
int ConfirmOverwrite(std::string path);
// Makes path the current directory ("\\" read as "\"); below 0 on failure.
int ChangeDirectory(std::string path);
