// CQelDoc::ExtractZip: unpacks a ZIP archive into a folder, or an archive image in
// memory into the caller's buffer. The outside unzip program serves when asked for
// and present; otherwise, and for archives whose names it would garble or whose
// members it would write through or as symbolic links, the own reader does. Either
// way a member replaces a file only when it came out whole (and, for the user's
// unpack, after Yes to the overwrite question), and every member not written is
// reported and makes the run a failure.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "archive/ArchiveState.h"
#include "app/StringTable.h"
#include "archive/ArchiveModes.h"
#include "base/CheckedSize.h"
#include "archive/ArchivePaths.h"
#include "archive/ExtractTarget.h"
#include "archive/FailureReason.h"
#include "archive/UnpackViaProgram.h"
#include "archive/ZipExtractOwn.h"
#include "codec/ByteSink.h"
#include "codec/CodecError.h"
#include "codec/ErrorCodes.h"
#include "frame/MainFrame.h"
#include "frame/StatusBar.h"
#include "base/Alloc.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"

namespace {

void ShowOutOfMemory(const char* place) { AfxMessageBox(OutOfMemoryText(place)); }

void ReportCodecError(const char* code) {
  if (g_pMainFrame) g_pMainFrame->SetWindowText(code);
}

std::string SizeText(uint64_t bytes) {
  constexpr uint64_t kMegabyte = 1 << 20;
  return bytes >= kMegabyte ? std::to_string(bytes / kMegabyte) + "MB" : std::to_string(bytes / 1024) + "KB";
}

}  // namespace

std::optional<std::string> ZipBombReason(const codec::CZipReader& reader, const std::string& folder, const char** code) {
  *code = codec::err::kOverlap;
  if (reader.MembersOverlap()) return CodeWithReason(codec::err::kOverlap);
  *code = codec::err::kWrite;
  // No member is written beyond its declared size: the declared total bounds the run.
  const uint64_t total = reader.DeclaredTotal();
  std::optional<int64_t> room = plat::FreeSpace(folder);
  if (room && total > static_cast<uint64_t>(*room)) {
    return CodeWithReason(codec::err::kWrite, ErrnoReason(ENOSPC) + " (" + SizeText(total) + " > " +
                                                  SizeText(static_cast<uint64_t>(*room)) + ")");
  }
  if (std::optional<int64_t> limit = plat::FileSizeLimit()) {
    for (const codec::ZipEntry& e : reader.Entries())
      if (e.header.uncompressedSize > static_cast<uint64_t>(*limit))
        return CodeWithReason(codec::err::kWrite, ErrnoReason(EFBIG) + " (" + SizeText(e.header.uncompressedSize) + ")");
  }
  return std::nullopt;
}


int ExtractZipOwnCodec(CQelDoc& doc, const std::string& archive, const std::string& folder,
                       std::span<const uint8_t> memoryImage, uint8_t* buffer, int outputCapacity,
                       const ZipRunOptions& options) {
  const bool memoryMode = !memoryImage.empty();
  std::vector<uint8_t> input;
  std::span<const uint8_t> image = memoryImage;
  std::optional<CExtractTarget> target;
  if (!memoryMode) {
    plat::MakeDirectory(folder);
    if (!plat::SetCurrentDirectory(folder)) return -1;
    target.emplace(plat::GetCurrentDirectory(), options.askOverwrite);
    plat::File file;
    if (!file.Open(archive, plat::File::Mode::Read)) return -1;
    const int64_t length = file.GetLength();
    if (!TryAllocate(input, length, 1, 1000, &doc.m_allocHook)) {
      ShowOutOfMemory(" 029");
      return -9;
    }
    if (file.Read(input.data(), length) != length) return -1;
    image = std::span<const uint8_t>(input.data(), static_cast<size_t>(length));
    outputCapacity = 0;
  }
  // Memory mode inflates straight into the caller's buffer unless the archive image
  // lies in it; then into a block of its own, copied over at the end.
  const std::less<const uint8_t*> before;
  const bool direct = memoryMode && buffer &&
                      (!before(image.data(), buffer + std::max(outputCapacity, 0)) ||
                       !before(buffer, image.data() + image.size()));
  std::vector<uint8_t> output;
  if (memoryMode && !direct && !TryAllocate(output, outputCapacity, 1, 2000, &doc.m_allocHook)) {
    char note[64];
    std::snprintf(note, sizeof note, " 030  zipoutmax = %d", outputCapacity);
    ShowOutOfMemory(note);
    return -9;
  }
  codec::CBoundedSink memory(direct ? buffer : output.data(), static_cast<uint64_t>(std::max(outputCapacity, 0)));

  int result = 0;
  bool full = false;  // placeholder sizes: the stream went on past the caller's room
  try {
    codec::CZipReader reader(image);
    // An archive that would unpack members over and over, or past the room there is,
    // is refused before anything is written.
    const char* bombCode = nullptr;
    if (std::optional<std::string> bomb = memoryMode ? std::nullopt : ZipBombReason(reader, target->Folder(), &bombCode)) {
      AfxMessageBox(archive + "\r\n" + *bomb);
      ReportCodecError(bombCode);
      return -1;
    }
    for (const codec::ZipEntry& entry : reader.Entries()) {
      const codec::CZipHeader& h = entry.header;
      if (h.method != 0 && h.method != 8) {
        // A method the codec does not have: reported, and the rest still comes out.
        if (!memoryMode) AfxNote(h.name + " : method " + std::to_string(h.method) + " " + ReasonOfCode(codec::err::kLzhMethod));
        result = -1;
        continue;
      }
      codec::ZipExtractOptions codecOptions = options.codec;
      codec::ZipEntry member = entry;
      if (codecOptions.placeholderSizes) member.header.uncompressedSize = options.placeholderLimit;
      if (memoryMode) {
        reader.Extract(member, memory, codecOptions);
        continue;
      }
      // A name flagged UTF-8 is read as such; one read as UTF-8 only because of the
      // setting keeps the Shift-JIS pairs that are not UTF-8.
      const bool flagged = (h.flags & codec::kFlagUtf8) != 0;
      bool exact = true;
      std::string name = doc.ZipMemberName(h.name, flagged, &exact);
      bool isFolder = false;
      std::optional<std::string> rel = SafeMemberPath(name, &isFolder);
      // A name Shift-JIS cannot express is refused, never written under another name.
      if (!exact || (!rel && !isFolder)) {
        AfxNote(name + " : " + CodeWithReason(codec::err::kWrite, TroubleReason(exact ? WriteTrouble::BadName : WriteTrouble::NotShiftJis)));
        result = -1;
        continue;
      }
      if (!rel) continue;
      if (isFolder) {
        if (!target->MakeFolders(*rel)) {
          AfxNote(name + " : " + CodeWithReason(codec::err::kWrite, target->Why()));
          result = -1;
        }
        continue;
      }
      // A member that cannot be made, or does not decode whole, is reported and left
      // out (what was there stays); the members after it still come out.
      // The time and the read-only mark are the file's before it takes its name.
      MemberStamp stamp;
      stamp.mtime = target->LocalTime(h.year, h.month, h.day, h.hour, h.minute, h.second);
      stamp.readOnly = reader.FromDirectory() && (h.externalAttributes & 0x01);
      try {
        target->WriteFile(
            *rel, [&](codec::CByteSink& sink) { reader.Extract(member, sink, codecOptions); },
            codecOptions.placeholderSizes, stamp, nullptr);
      } catch (const codec::CodecError& e) {
        // Placeholder sizes: the caller's room is the end of the output, not a fault.
        if (codecOptions.placeholderSizes && std::string_view(e.Code()) == codec::err::kSizeMismatch) throw;
        AfxNote(name + " : " + CodeWithReason(e));
        ReportCodecError(e.Code());
        result = -1;
        continue;
      }
    }
  } catch (const codec::CodecError& e) {
    // With placeholder sizes the caller's room is the end of the output, not a fault.
    full = options.codec.placeholderSizes && std::string_view(e.Code()) == codec::err::kSizeMismatch;
    if (!full) {
      if (!memoryMode) AfxNote(archive + " : " + CodeWithReason(e));
      ReportCodecError(e.Code());
      return -1;
    }
  }
  if (!memoryMode) return result;
  // The room is filled; output that did not fit makes the run a failure (size over).
  const size_t copy = static_cast<size_t>(memory.Kept());
  if (!direct) std::memcpy(buffer, output.data(), copy);
  if (result < 0) return result;
  return full || memory.Overflowed() ? -3 : static_cast<int>(copy);
}

namespace {

// True when the unzip program may unpack the archive: the own codec's checks refuse
// nothing in it (overlapping members, a size past the room, a name that names no
// file), it would write every member under its right name (it reads names as UTF-8
// only when flagged so, and garbles other non-ASCII names), it would make no
// symbolic link, and no member's path runs through a symbolic link already in the
// folder (the program follows those). The own codec, which does neither, serves the
// other archives and reports what it refuses.
bool ProgramIsSafe(CQelDoc& doc, const std::string& archive, CExtractTarget& target) {
  constexpr uint32_t kTypeMask = 0170000, kSymbolicLink = 0120000;  // Unix mode in the high attribute word
  std::vector<uint8_t> bytes;
  plat::File file;
  if (!file.Open(archive, plat::File::Mode::Read)) return true;
  int64_t length = file.GetLength();
  if (!TryAllocate(bytes, length, 1, 0, &doc.m_allocHook)) return true;
  if (file.Read(bytes.data(), length) != length) return true;
  try {
    codec::CZipReader reader(bytes);
    const char* code = nullptr;
    if (ZipBombReason(reader, target.Folder(), &code)) return false;
    for (const codec::ZipEntry& e : reader.Entries()) {
      const codec::CZipHeader& h = e.header;
      if ((h.externalAttributes >> 16 & kTypeMask) == kSymbolicLink) return false;
      const bool utf8 = h.flags & codec::kFlagUtf8;
      bool isFolder = false;
      std::optional<std::string> rel = SafeMemberPath(utf8 ? plat::Utf8NameToCp932(h.name, false, doc.m_bSjisFixed) : h.name, &isFolder);
      // A file name the own codec refuses ("a/..") is refused by it, with its message.
      if (!rel && !isFolder) return false;
      if (rel && !target.StaysInside(*rel)) return false;
      if (utf8) continue;
      for (char c : h.name)
        if (static_cast<uint8_t>(c) >= 0x80) return false;
    }
  } catch (const codec::CodecError&) {
    return false;  // unread members cannot be checked: the own codec reports the fault
  }
  return true;
}

// A Windows path made absolute against the current folder.
std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && (path[0] == '\\' || (path.size() >= 2 && path[1] == ':'))) return path;
  return WinJoin(plat::GetCurrentDirectory(), path);
}

// The program unpacks into a work folder inside the target (both paths taken before
// the target is entered); its status is read as unzip documents it: 0 success, 1 a
// warning with every member unpacked, anything else a failure. kProgramFailed also
// when the archive is not one the program may unpack.
int ExtractWithProgram(CQelDoc& doc, const std::string& archive, const std::string& folder, bool askOverwrite) {
  const std::string absArchive = AbsolutePath(archive), absFolder = AbsolutePath(folder);
  plat::MakeDirectory(absFolder);
  if (!plat::SetCurrentDirectory(absFolder)) return kProgramFailed;
  std::optional<std::string> hostArchive = plat::ToHostPath(absArchive);
  if (!hostArchive) return kProgramFailed;
  CExtractTarget target(plat::GetCurrentDirectory(), askOverwrite);
  if (!ProgramIsSafe(doc, absArchive, target)) return kProgramFailed;
  return UnpackThroughWorkFolder(
      target,
      [&](const std::string& work) {
        std::optional<std::string> hostWork = plat::ToHostPath(work);
        return hostWork ? doc.Archive().m_pfnUnZip({"-qq", *hostArchive, "-d", *hostWork}) : -1;
      },
      [](int status) { return status == 0 || status == 1; });
}

}  // namespace

int CQelDoc::ExtractZip(int mode, std::string archive, std::string folder, int inputLength, int outputCapacity,
                        uint8_t* buffer) {
  // Memory mode is the own codec's: the program cannot fill the buffer. A mode
  // that asks for the program takes the own codec too when there is none.
  if (inputLength >= 2 && outputCapacity != 0 && buffer)
    return ExtractZipOwnCodec(*this, archive, folder, {buffer, static_cast<size_t>(inputLength)}, buffer,
                              outputCapacity, {});
  // A given input length in file mode overwrites without asking (work folders).
  ZipRunOptions options;
  options.askOverwrite = inputLength <= 0;
  if (mode != kExtractOwn && Archive().m_pfnUnZip) {
    const std::string before = plat::GetCurrentDirectory();
    const int result = ExtractWithProgram(*this, archive, folder, options.askOverwrite);
    if (result != kProgramFailed) return result;
    // The program failed, or may not unpack the archive, and placed nothing: the own
    // codec tells member by member.
    plat::SetCurrentDirectory(before);
  }
  return ExtractZipOwnCodec(*this, archive, folder, {}, nullptr, 0, options);
}
