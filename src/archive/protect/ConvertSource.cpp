// Protected documents: a file stored scrambled with the user's key ('+'), packed
// into a one-member ZIP archive that is then scrambled ('-'), or only packed ('=',
// also ".rtz" and ".bmz"). The marker is the first character of the extension
// ("a.+rtf"). Scrambling adds a keyed value to each byte by its position; there is
// no chaining, so a wrong key is found only where the result must be an archive.
// Plain copies made while expanding are private to the user and live in TMP.
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/OverwriteQuestion.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "ops/ArchiveModes.h"
#include "archive/ArchivePaths.h"
#include "archive/ArchiveState.h"
#include "ops/ArchiveStatus.h"
#include "archive/FailureReason.h"
#include "archive/Overwrite.h"
#include "archive/protect/CipherKey.h"
#include "ops/SourceMode.h"
#include "base/Alloc.h"
#include "base/AsciiCase.h"
#include "base/CheckedSize.h"
#include "codec/zip/ZipRecords.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kBlock = 256;
constexpr int64_t kLargestMember = 1073741824;
// The program's own key of the schedule file (SourceMode::kExpandOwnKey, kScrambleOwnKey).
constexpr CipherKey kProgramKey{0x4B, 0x31, 0x7A, 0x09, 255, 255, 255, 255};

// The marker of a protected name: '+', '-', '=' or 0.
char MarkerOf(const std::string& path) {
  const std::string ext = CQelDoc::GetPathPart(path, PathPart::kExtension);
  if (ext.empty()) return 0;
  const std::string lower = AsciiLowerCopy(ext);
  if (lower == "rtz" || lower == "bmz") return '=';
  if (ext[0] == '+' || ext[0] == '-' || ext[0] == '=') return ext[0];
  const std::string base = CQelDoc::GetPathPart(path, PathPart::kStem);
  if (base.size() >= 2 && base.compare(base.size() - 2, 2, "++") == 0) return '+';
  return 0;
}

// The marker of a form packed into a one-member archive.
bool IsArchivedMarker(char marker) { return marker == '-' || marker == '='; }

// The stored form a marker asks for: '-' packed and scrambled, '=' packed, else scrambled.
SourceMode ModeOfMarker(char marker) {
  return marker == '-' ? SourceMode::kPackScramble : marker == '=' ? SourceMode::kPack : SourceMode::kScramble;
}

// The plain extension: the marker dropped, "rtz" read as "rtf" and "bmz" as "bmp".
std::string PlainExtension(const std::string& path) {
  std::string ext = CQelDoc::GetPathPart(path, PathPart::kExtension);
  if (!ext.empty() && (ext[0] == '+' || ext[0] == '-' || ext[0] == '=')) ext.erase(0, 1);
  if (ext.size() >= 2) {
    const std::string tail = AsciiLowerTail(ext, 2);
    if (tail == "tz") ext = "rtf";
    if (tail == "mz") ext = "bmp";
  }
  return ext;
}

// The same file, by the host's identity of the two paths (or the same path).
bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::optional<std::string> ha = plat::ToHostPath(a), hb = plat::ToHostPath(b);
  std::error_code ec;
  return ha && hb && std::filesystem::equivalent(*ha, *hb, ec) && !ec;
}

// The source itself as the target: refused with why, since it would be written onto itself.
bool RefusedOntoItself(const std::string& source, const std::string& target) {
  if (!SameFile(source, target)) return false;
  AfxMessageBox(plat::ShownPath(target) + "\r\n" + plat::Utf8ToCp932Lossy("元のファイルと同じ名前には保存できません。"));
  return true;
}

// Only a regular file is read: a pipe or a device has no end to read to. Refused as
// the load refuses it; a name that does not stat is left to the open that follows.
bool RefusedNotRegular(const std::string& path) {
  const std::optional<plat::FileInfo> st = plat::Stat(path);
  if (!st || (!st->isSpecial && !st->isDirectory)) return false;
  AfxMessageBox(plat::ShownPath(path) + "\r\n" + LoadString(IDS_CANNOT_OPEN) +
                plat::Utf8ToCp932Lossy("(not a regular file: a pipe or a device is not read)"));
  return true;
}

// A protected file, or the plain copy of one, that could not be written: the user's
// file named as the user wrote it, and why.
void ShowCannotWrite(const std::string& target, int error) {
  AfxMessageBox(plat::ShownPath(target) + "\r\n" + LoadString(IDS_CANNOT_MAKE) + " : " + ErrnoReason(error));
}

char PaneDigit(const CQelDoc& doc) { return static_cast<char>('0' + (doc.m_nActivePane == 0 ? 3 : doc.m_nActivePane)); }

// An existing write-protected target is replaced only after Yes to string 329.
bool WritableTarget(const std::string& target) { return UnprotectAfterAsking(target); }

// Opens a target for writing, asking before a write-protected one is made writable;
// this run's own work file (below workStem) is made writable without asking.
bool OpenTarget(plat::File& out, const std::string& target, bool isPrivate, const std::string& workStem) {
  const auto mode = isPrivate ? plat::File::Mode::WritePrivate : plat::File::Mode::Write;
  if (out.Open(target, mode)) return true;
  const bool workFile = target.rfind(workStem, 0) == 0;
  if (!workFile && !AskWriteProtectedQuestion(target)) return false;
  plat::SetReadOnly(target, false);
  if (out.Open(target, mode)) return true;
  AfxMessageBox(StringWith(IDS_CANNOT_USE, plat::ShownPath(target)));
  return false;
}

// Copies at most limit bytes of in to out in blocks, adding (protect) or taking away
// (expand) the keyed value of each byte's position; no key copies the bytes unchanged.
bool Scramble(plat::File& in, plat::File& out, const std::optional<CipherKey>& key, bool expand, int64_t limit) {
  uint8_t block[kBlock];
  uint32_t p = 0;
  for (int64_t left = limit; left > 0;) {
    const int64_t want = std::min<int64_t>(kBlock, left);
    const int64_t n = in.Read(block, want);
    if (n < 0) return false;
    if (key) {
      for (int64_t i = 0; i < n; ++i, ++p) {
        const int32_t k = key->d == 0 ? static_cast<int32_t>(((p + key->c) * (p + key->b) * (p + key->a)) % 256)
                                      : CipherStep(*key, p);
        block[i] = static_cast<uint8_t>(expand ? block[i] - k : block[i] + k);
      }
    }
    if (n > 0 && !out.Write(block, n)) return false;
    if (n < want) return true;
    left -= n;
  }
  return true;
}

// Copies source onto target unchanged through a work file beside it: a failed copy (a
// full disk) leaves an earlier target as it was, and a file replaced keeps its
// permissions.
bool CopyBeside(const std::string& source, const std::string& target) {
  plat::File in;
  plat::WorkFile work;
  if (!in.Open(source, plat::File::Mode::Read) || !work.CreateBeside(target)) return false;
  return Scramble(in, work.Out(), std::nullopt, false, in.GetLength()) && work.CommitAs(target);
}

}  // namespace

ArchiveStatus ObtainCipherKey(CQelDoc& doc, bool programKey, std::optional<CipherKey>& key) {
  if (programKey) {
    key = kProgramKey;
    return ArchiveStatus::Done();
  }
  std::string& pwrd = doc.m_astrSysValue[29];
  ArchiveStatus status;
  if (pwrd.size() > 7 && pwrd.compare(pwrd.size() - 4, 4, "    ") == 0) {
    CKeyCodeDlg dialog;
    if (dialog.DoModal() == 1) {
      pwrd = pwrd.substr(0, 8) + dialog.m_strKeyCode;
      status.keyAsked = true;
    }
  }
  key = CipherKeyFromPwrd(pwrd);
  return key ? status : ArchiveStatus::Fail(ArchiveCode::kNoKey);
}

namespace {

// Packs one file into a one-member archive in TMP (never beside the user's file).
bool PackIntoWorkArchive(CQelDoc& doc, const std::string& source, const std::string& archive) {
  const std::string folder = CQelDoc::GetPathPart(source, PathPart::kFolder);
  if (!folder.empty() && !ResolvedFolder(folder)) return false;
  plat::RemoveFile(archive);
  return doc.WriteArchive(PackMode::kZip, PackName::Given(archive), {CQelDoc::GetPathPart(source, PathPart::kName)},
                          PackMessages::kQuiet, folder)
      .ok();
}

// The largest expanded copy: the larger of the document and the picture volumes
// (a protected source is a document or a picture, and is shown within them).
int64_t ExpansionVolume(const CQelDoc& doc) {
  return std::max<int64_t>({doc.m_nInDataLimit, doc.m_nBmpFileLimit, 0});
}

// How much of a scrambled-only source is expanded to be shown: a text is shown up to
// the input volume and a picture up to the picture volume, so its copy holds that and
// one byte more (the load then shows it cut, as it would the plain file); any other
// kind is read whole by its road.
int64_t ShownCopyLimit(const CQelDoc& doc, const std::string& source, int64_t length) {
  const int kind = doc.GetFileKind(CQelDoc::GetPathPart(source, PathPart::kPlainName));
  int64_t volume = -1;
  if (kind == kKindText || kind == kKindRtf || IsPlainCopyKind(kind)) volume = std::max<int64_t>(doc.m_nInDataLimit, 0);
  if (IsImageKind(kind)) volume = std::max<int64_t>(doc.m_nBmpFileLimit, 0);
  return volume < 0 ? length : std::min(length, volume + 1);
}

// The file-size-over message (string 238) with the volume in MB.
void ShowSizeOver(int64_t volume) { AfxMessageBox(FileSizeOverText(volume)); }

// Unpacks the one member of a descrambled archive into TMP; the member's path, or ""
// with *status failed, or size over when the member would pass the expansion volume
// (the size message shown): its size, in memory and on disk, is bounded by that volume.
std::string UnpackWorkArchive(CQelDoc& doc, const std::string& archive, ArchiveStatus* status) {
  *status = ArchiveStatus::Fail();
  plat::File file;
  if (!file.Open(archive, plat::File::Mode::Read)) return "";
  const int64_t length = file.GetLength();
  uint8_t head[codec::LocalField::kSize] = {};
  codec::ZipFixedPart fixed;
  if (length < static_cast<int64_t>(sizeof head) || file.Read(head, sizeof head) != static_cast<int64_t>(sizeof head) ||
      !codec::ReadLocalFixed(head, fixed))
    return "";
  // A scrambled archive read with the wrong key does not start with a local header.
  if (fixed.header.signature != codec::kLocalSignature) {
    AfxMessageBox(IDS_WRONG_KEY);
    return "";
  }
  const int nameLength = fixed.nameLength;
  std::string name(static_cast<size_t>(nameLength), '\0');
  if (file.Read(name.data(), nameLength) != nameLength) return "";
  for (const char sep : {'/', '\\'}) {
    const size_t at = sep == '\\' ? plat::FindLastSeparator(name) : name.rfind('/');
    if (at != std::string::npos) name.erase(0, at + 1);
  }
  if (name.empty() || name == "." || name == "..") return "";
  const int64_t volume = std::min(ExpansionVolume(doc), kLargestMember);
  const int64_t declared = static_cast<int64_t>(fixed.header.uncompressedSize);
  // The member's declared size, and the archive holding it, within the volume.
  if (declared > volume || length > volume + 65536) {
    ShowSizeOver(volume);
    *status = ArchiveStatus::Fail(ArchiveCode::kSizeOver);
    return "";
  }
  const int64_t capacity = declared + 1000;
  std::vector<uint8_t> buffer;
  if (!TryAllocate(buffer, std::max(capacity + 2000, length), 1, 0, &doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 026"));
    return "";
  }
  file.Seek(0, plat::File::Origin::Begin);
  if (file.Read(buffer.data(), length) != length) return "";
  file.Close();
  const ArchiveStatus unpacked =
      doc.InflateZipInMemory(buffer.data(), static_cast<int>(length), buffer.data(), static_cast<int>(capacity));
  if (unpacked.code == ArchiveCode::kSizeOver) {
    // The stream gave more than its header said: refused as over the volume it claimed.
    ShowSizeOver(volume);
    *status = unpacked;
    return "";
  }
  if (!unpacked.ok()) return "";
  const int64_t produced = unpacked.produced;
  const std::string member = doc.TmpFolder() + "\\" + name;
  plat::RemoveFile(member);
  plat::File out;
  if (!out.Open(member, plat::File::Mode::WritePrivate) || !out.Write(buffer.data(), produced)) {
    out.Close();
    plat::RemoveFile(member);
    return "";
  }
  *status = ArchiveStatus::Done();
  return member;
}

ArchiveStatus Expand(CQelDoc& doc, SourceMode mode, const std::string& source, std::string target, bool programKey) {
  const char marker = MarkerOf(source);
  const bool archived = IsArchivedMarker(marker);
  const std::string stem = doc.TmpFolder() + "\\PelnorE" + PaneDigit(doc) + ".";
  if (RefusedNotRegular(source) || (!target.empty() && RefusedOntoItself(source, target))) return ArchiveStatus::Fail();
  std::optional<CipherKey> key;
  ArchiveStatus done;
  if (marker != '=') {
    done = ObtainCipherKey(doc, programKey, key);
    if (!done.ok()) return done;
  }
  // An archived form is expanded within the expansion volume: a source that could
  // not fit is refused before anything is written.
  if (archived && mode == SourceMode::kExpand) {
    std::optional<plat::FileInfo> st = plat::Stat(source);
    if (st && st->size > std::min(ExpansionVolume(doc), kLargestMember) + 65536) {
      ShowSizeOver(std::min(ExpansionVolume(doc), kLargestMember));
      return ArchiveStatus::Fail(ArchiveCode::kSizeOver);
    }
  }
  const std::string scrambledInto = archived && mode == SourceMode::kExpand ? stem + "zip" : (target.empty() ? stem + PlainExtension(source) : target);
  plat::File in, out;
  if (!in.Open(source, plat::File::Mode::Read)) return ArchiveStatus::Fail();
  if (!OpenTarget(out, scrambledInto, true, stem)) return ArchiveStatus::Fail();
  const int64_t length = in.GetLength();
  const int64_t limit = !archived && mode == SourceMode::kExpand ? ShownCopyLimit(doc, source, length) : length;
  const bool copied = Scramble(in, out, key, true, limit);
  const int error = errno;
  out.Close();
  if (!copied) {
    plat::RemoveFile(scrambledInto);
    ShowCannotWrite(source, error);
    return ArchiveStatus::Fail();
  }
  if (!archived || mode == SourceMode::kExpandSchedule) {
    if (mode == SourceMode::kExpand) done.path = scrambledInto;
    return done;
  }

  ArchiveStatus status;
  const std::string member = UnpackWorkArchive(doc, scrambledInto, &status);
  plat::RemoveFile(scrambledInto);
  if (member.empty()) return status;
  const std::string expanded = stem + CQelDoc::GetPathPart(member, PathPart::kExtension);
  if (plat::Exists(expanded)) {
    plat::SetReadOnly(expanded, false);
    plat::RemoveFile(expanded);
  }
  if (!plat::RenameFile(member, expanded)) {
    plat::RemoveFile(member);
    return ArchiveStatus::Fail();
  }
  done.path = expanded;
  return done;
}

std::string ProtectTarget(const CQelDoc& doc, SourceMode mode, const std::string& source) {
  // Beside the source, from its name: a dot in a folder's name is no extension.
  std::string stem = CQelDoc::GetPathPart(source, PathPart::kWithoutExtension) + ".";
  if (doc.m_nStartMode == 1) stem = "C:\\ARCHTMP\\" + CQelDoc::GetPathPart(CQelDoc::GetPathPart(source, PathPart::kName), PathPart::kStem) + ".";
  if (mode == SourceMode::kPackRtz) return stem + "rtz";
  if (mode == SourceMode::kPackBmzName) return stem + "bmz";
  if (mode == SourceMode::kPackRtzName) return stem + "rtz";
  const char marker = mode == SourceMode::kScramble ? '+' : mode == SourceMode::kPackScramble ? '-' : '=';
  return stem + marker + PlainExtension(source);
}

ArchiveStatus Protect(CQelDoc& doc, SourceMode mode, std::string source, std::string target, bool programKey) {
  const SourceMode modeGiven = mode;
  if (mode == SourceMode::kSaveText) {
    const char marker = MarkerOf(target);
    const std::string name = CQelDoc::GetPathPart(target, PathPart::kName);
    source = doc.TmpFolder() + "\\" +
             (marker == '=' && doc.m_nDisplayForm == 2 ? CQelDoc::GetPathPart(name, PathPart::kStem) + ".rtf"
                                                       : CQelDoc::GetPathPart(target, PathPart::kPlainName));
    plat::File work;
    if (!work.Open(source, plat::File::Mode::WritePrivate) ||
        !work.Write(doc.m_pText, std::clamp(doc.m_nTextLen, 0, doc.m_nTextCap)))
      return ArchiveStatus::Fail();
    mode = ModeOfMarker(marker);
  }
  if (modeGiven != SourceMode::kSaveText && RefusedNotRegular(source)) return ArchiveStatus::Fail();
  const bool compressOnly = mode == SourceMode::kPack || mode == SourceMode::kPackRtz || mode == SourceMode::kPackBmzName ||
                           mode == SourceMode::kPackRtzName;
  if (target.empty()) target = ProtectTarget(doc, mode, source);
  // The key comes first: without one nothing is written, not even an empty target.
  std::optional<CipherKey> key;
  ArchiveStatus done;
  if (!compressOnly && MarkerOf(target) != '=') {
    done = ObtainCipherKey(doc, programKey, key);
    if (!done.ok()) return done;
  }
  if (auto st = plat::Stat(source)) doc.m_tSourceFileTime = static_cast<int32_t>(st->mtime);
  std::string input = source;
  const bool packs = mode == SourceMode::kPackScramble || compressOnly;
  if (packs) {
    input = doc.TmpFolder() + "\\PelnorE" + PaneDigit(doc) + ".zip";
    if (!PackIntoWorkArchive(doc, source, input)) return ArchiveStatus::Fail();
  }
  struct DropWork {
    std::string path;
    ~DropWork() {
      if (!path.empty()) plat::RemoveFile(path);
    }
  } dropWork{packs ? input : ""};

  plat::File in;
  if (!in.Open(input, plat::File::Mode::Read)) {
    AfxMessageBox(plat::ShownPath(input) + "\r\n" + ErrnoReason(errno));
    return ArchiveStatus::Fail();
  }
  // The name the protected file takes: with enciphered names on, the stored form. It
  // is chosen before anything is written, so an earlier file of that name is asked
  // about like any other.
  std::string stored = target;
  if (doc.Archive().m_bEncryptNames == 1) stored = doc.TranslateFileName(target, NameForm::kStored).path;
  // A site's drive is no local folder: the write would go to the local path of that name.
  if (doc.RefuseFtpDriveSave(stored)) return ArchiveStatus::Fail();
  // A protected source named as its own target ("a.+txt" again) would be scrambled twice in place.
  if (RefusedOntoItself(source, stored)) return ArchiveStatus::Fail();
  if (modeGiven != SourceMode::kSaveText && plat::Exists(stored) && !AskOverwrite(stored)) return ArchiveStatus::Fail();
  if (!WritableTarget(stored)) return ArchiveStatus::Fail();
  // Written to a new work file beside the target and renamed onto it when complete:
  // a failed write leaves the earlier file, and no planted link is written through.
  plat::WorkFile work;
  if (!work.CreateBeside(stored) || !Scramble(in, work.Out(), compressOnly ? std::nullopt : key, false, in.GetLength()) ||
      !work.CommitAs(stored)) {
    ShowCannotWrite(stored, errno);
    return ArchiveStatus::Fail();
  }
  if (modeGiven != SourceMode::kSaveText) plat::SetFileTime(stored, doc.m_tSourceFileTime);
  return done;
}

}  // namespace

ArchiveStatus CQelDoc::ConvertSource(SourceMode mode, std::string source, std::string target) {
  const bool programKey = mode == SourceMode::kExpandOwnKey || mode == SourceMode::kScrambleOwnKey;
  if (mode == SourceMode::kExpandOwnKey) mode = SourceMode::kExpand;
  if (mode == SourceMode::kScrambleOwnKey) mode = SourceMode::kScramble;
  if (mode == SourceMode::kExpand || mode == SourceMode::kExpandSchedule)
    return Expand(*this, mode, source, std::move(target), programKey);
  return Protect(*this, mode, std::move(source), std::move(target), programKey);
}

ArchiveStatus CQelDoc::RenameProtectedSource(std::string path) {
  ArchiveStatus result = ConvertSource(SourceMode::kExpand, path, "");
  if (result.code == ArchiveCode::kNoKey || result.code == ArchiveCode::kSizeOver) return result;
  const std::string ext = PlainExtension(path);
  const std::string expanded = TmpFolder() + "\\PelnorE" + PaneDigit(*this) + "." + ext;
  const std::string named = TmpFolder() + "\\TMP_" + GetPathPart(GetPathPart(path, PathPart::kName), PathPart::kStem) + "." + ext;
  plat::RemoveFile(named);
  if (plat::RenameFile(expanded, named)) result.path = named;
  return result;
}

// Saves the active list's current protected source under a new name: expanded, then
// protected again into the chosen name (copied unchanged when no key is set).
ArchiveStatus CQelDoc::OnSaveSourceAs() {
  const std::string source = m_nActiveList == 2 ? m_strFileName2 : m_strFileName1;
  if (source.empty()) return ArchiveStatus::Fail();
  const std::string ext = GetPathPart(source, PathPart::kExtension);
  std::string base = GetPathPart(source, PathPart::kWithoutExtension);
  const bool enc = base.size() >= 4 && base.compare(base.size() - 4, 4, "@Enc") == 0;
  if (enc) base.resize(base.size() - 4);
  CFileDialog dialog(false, base + "_A" + (enc ? "@Enc" : "") + "." + ext);
  if (dialog.DoModal() != plat::IDOK) return ArchiveStatus::Fail();
  const std::string target = dialog.GetPathName();
  // A site's drive is no local folder: the save would write the local path of that name.
  if (RefuseFtpDriveSave(target)) return ArchiveStatus::Fail();
  // The source itself is no new name: it would be copied or rewritten onto itself.
  if (RefusedOntoItself(source, target)) return ArchiveStatus::Fail();
  // Without a key the source can be neither expanded nor protected again: both
  // find no key, and the stored bytes are copied as they stand.
  ArchiveStatus result = RenameProtectedSource(source);
  if (result.code == ArchiveCode::kSizeOver) return ArchiveStatus::Fail();
  if (result.code != ArchiveCode::kNoKey) {
    if (!result.ok()) return ArchiveStatus::Fail();
    const std::string expanded = result.path;
    // A scrambled-only copy is cut at the volume it is shown in: a cut copy is never saved.
    const std::optional<plat::FileInfo> whole = plat::Stat(source), copy = plat::Stat(expanded);
    if (!IsArchivedMarker(MarkerOf(source)) && whole && copy && copy->size < whole->size) {
      plat::RemoveFile(expanded);
      ShowSizeOver(copy->size - 1);  // the copy holds the volume and one byte
      return ArchiveStatus::Fail();
    }
    // The chosen name's marker picks the stored form, so that the copy reads back
    // as its name says ('-' packed and scrambled, '=' packed only, else scrambled).
    const char marker = MarkerOf(target);
    result = ConvertSource(ModeOfMarker(marker), expanded, target);
    plat::RemoveFile(expanded);
  }
  if (result.code == ArchiveCode::kNoKey) {
    if (!ConfirmOverwrite(target)) return ArchiveStatus::Fail();
    result = CopyBeside(source, target) ? ArchiveStatus::Done() : ArchiveStatus::Fail();
    if (!result.ok()) ShowCannotWrite(target, errno);
  }
  m_nViewRequest = kRefreshLists;
  UpdateAllViews();
  return result.ok() ? ArchiveStatus::Done() : ArchiveStatus::Fail();
}
