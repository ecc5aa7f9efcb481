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
#include <unordered_map>

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

std::string NotAZipReason() { return plat::Utf8ToCp932Lossy("ZIP書庫ではありません"); }

void ReportCodecError(const char* code) {
  if (g_pMainFrame) g_pMainFrame->SetWindowText(code);
}

}  // namespace

namespace {

// Reads the archive file whole into input: its length, -1 when it cannot be read (said
// why), -9 out of memory.
int64_t ReadArchive(CQelDoc& doc, const std::string& archive, std::vector<uint8_t>& input) {
  plat::File file;
  if (!file.Open(archive, plat::File::Mode::Read)) {
    AfxMessageBox(plat::ShownPath(archive) + "\r\n" + CodeWithReason(codec::err::kWrite, ErrnoReason(errno)));
    return -1;
  }
  const int64_t length = file.GetLength();
  if (!TryAllocate(input, length, 1, 1000, &doc.m_allocHook)) {
    ShowOutOfMemory(" 029");
    return -9;
  }
  return file.Read(input.data(), length) == length ? length : -1;
}

// True, said with the archive's name and why, when nothing of the archive may be
// written below folder: bytes with neither a directory nor a first member (no
// archive at all), members that would unpack over and over, or past the room there is.
bool RefusedWhole(const codec::CZipReader& reader, const std::string& archive, const std::string& folder) {
  const char* code = codec::err::kLocalSignature;
  std::optional<std::string> why;
  if (reader.Entries().empty() && !reader.FromDirectory()) {
    why = CodeWithReason(code, NotAZipReason());
  } else {
    why = ZipBombReason(reader, folder, &code);
  }
  if (!why) return false;
  AfxMessageBox(plat::ShownPath(archive) + "\r\n" + *why);
  ReportCodecError(code);
  return true;
}

}  // namespace

std::optional<std::string> ZipBombReason(const codec::CZipReader& reader, const std::string& folder, const char** code) {
  *code = codec::err::kOverlap;
  if (reader.MembersOverlap()) return CodeWithReason(codec::err::kOverlap);
  *code = codec::err::kWrite;
  // No member is written beyond its declared size: the declared total bounds the run.
  uint64_t largest = 0;
  for (const codec::ZipEntry& e : reader.Entries()) largest = std::max(largest, e.header.uncompressedSize);
  return NoRoomReason(reader.DeclaredTotal(), largest, folder);
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
    const int64_t length = ReadArchive(doc, archive, input);
    if (length < 0) return static_cast<int>(length);
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
    if (!memoryMode && RefusedWhole(reader, archive, target->Folder())) return -1;
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
      if (!memoryMode) AfxNote(plat::ShownPath(archive) + " : " + CodeWithReason(e));
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

// What the unzip program is trusted with: each file member's declared size by the
// path it is written to (the program keeps the first of two members of one name),
// and the largest, past which no file it writes may grow.
struct ProgramPlan {
  std::unordered_map<std::string, uint64_t> sizes;
  uint64_t largest = 0;
};

// The plan when the unzip program may unpack the archive: the own codec's checks
// refuse nothing in it (overlapping members, a size past the room, a name that names
// no file), it would write every member under its right name (it reads names as UTF-8
// only when flagged so, garbles other non-ASCII names, and keeps a '\' that the own
// codec takes as a separator), it would make no symbolic link, no member's path runs
// through a symbolic link already in the folder (the program follows those), and
// members that lie about their sizes cannot fill the disk before they are found (the
// program inflates past a declared size; each file stops at the largest one, so as
// many files of the largest size must fit). nullopt otherwise: the own codec, which
// stops each member at its own size, serves and reports what it refuses.
std::optional<ProgramPlan> PlanForProgram(CQelDoc& doc, const std::string& archive, CExtractTarget& target) {
  constexpr uint32_t kTypeMask = 0170000, kSymbolicLink = 0120000;  // Unix mode in the high attribute word
  std::vector<uint8_t> bytes;
  plat::File file;
  if (!file.Open(archive, plat::File::Mode::Read)) return std::nullopt;
  int64_t length = file.GetLength();
  if (!TryAllocate(bytes, length, 1, 0, &doc.m_allocHook)) return std::nullopt;
  if (file.Read(bytes.data(), length) != length) return std::nullopt;
  ProgramPlan plan;
  try {
    codec::CZipReader reader(bytes);
    const char* code = nullptr;
    if (reader.Entries().empty() || ZipBombReason(reader, target.Folder(), &code)) return std::nullopt;
    for (const codec::ZipEntry& e : reader.Entries()) {
      const codec::CZipHeader& h = e.header;
      if ((h.externalAttributes >> 16 & kTypeMask) == kSymbolicLink) return std::nullopt;
      const bool utf8 = h.flags & codec::kFlagUtf8;
      const std::string name = utf8 ? plat::Utf8NameToCp932(h.name, false, doc.m_bSjisFixed) : h.name;
      if (plat::FindLastSeparator(name) != std::string::npos) return std::nullopt;
      bool isFolder = false;
      std::optional<std::string> rel = SafeMemberPath(name, &isFolder);
      // A file name the own codec refuses ("a/..") is refused by it, with its message.
      if (!rel && !isFolder) return std::nullopt;
      if (rel && !target.StaysInside(*rel)) return std::nullopt;
      if (!utf8)
        for (char c : h.name)
          if (static_cast<uint8_t>(c) >= 0x80) return std::nullopt;
      if (!rel || isFolder) continue;
      plan.sizes.try_emplace(*rel, h.uncompressedSize);
      plan.largest = std::max(plan.largest, h.uncompressedSize);
    }
  } catch (const codec::CodecError&) {
    return std::nullopt;  // unread members cannot be checked: the own codec reports the fault
  }
  std::optional<int64_t> room = plat::FreeSpace(target.Folder());
  if (room && plan.largest > 0 && plan.sizes.size() > static_cast<uint64_t>(*room) / plan.largest) return std::nullopt;
  return plan;
}

// True when every file the program wrote below work has its member's declared size.
bool SizesHold(const ProgramPlan& plan, const std::string& work) {
  for (const auto& [rel, size] : plan.sizes) {
    std::optional<plat::FileInfo> st = plat::LinkStat(WinJoin(work, rel));
    if (st && static_cast<uint64_t>(st->size) != size) return false;
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
  const std::optional<ProgramPlan> plan = PlanForProgram(doc, absArchive, target);
  if (!plan) return kProgramFailed;
  // A member that passes the largest declared size ends the program at once; one that
  // came out at another size than its own fails the road (nothing is placed).
  return UnpackThroughWorkFolder(
      target,
      [&](const std::string& work) {
        std::optional<std::string> hostWork = plat::ToHostPath(work);
        if (!hostWork) return -1;
        const int status = doc.Archive().m_pfnUnZip({"-qq", *hostArchive, "-d", *hostWork}, static_cast<int64_t>(plan->largest));
        return status >= 0 && !SizesHold(*plan, work) ? -1 : status;
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
