// CQelDoc::ExtractZip unpacks a ZIP archive into a folder, CQelDoc::InflateZipInMemory
// an archive image in memory into the caller's buffer. The outside unzip program serves when asked for
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
#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "base/CheckedSize.h"
#include "archive/ArchivePaths.h"
#include "archive/unpack/ExtractTarget.h"
#include "archive/FailureReason.h"
#include "archive/unpack/UnpackViaProgram.h"
#include "archive/zip/ZipExtractOwn.h"
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

// Reads the archive file whole into input; failed when it cannot be read (said why),
// out of memory.
ArchiveStatus ReadArchive(CQelDoc& doc, const std::string& archive, std::vector<uint8_t>& input) {
  plat::File file;
  if (!file.Open(archive, plat::File::Mode::Read)) {
    AfxMessageBox(plat::ShownPath(archive) + "\r\n" + CodeWithReason(codec::err::kWrite, ErrnoReason(errno)));
    return ArchiveStatus::Fail();
  }
  const int64_t length = file.GetLength();
  if (!TryAllocate(input, length, 1, 1000, &doc.m_allocHook)) {
    ShowOutOfMemory(" 029");
    return ArchiveStatus::Fail(ArchiveCode::kOutOfMemory);
  }
  if (file.Read(input.data(), length) != length) return ArchiveStatus::Fail();
  input.resize(static_cast<size_t>(length));
  return ArchiveStatus::Done();
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

// The walk of an archive without a directory finds a member with a data descriptor
// only by inflating it: bounded by the room below folder and the file-size limit,
// and heard for Esc through stop.
codec::ZipWalkLimits WalkLimits(const std::string& folder, const std::function<bool()>& stop) {
  codec::ZipWalkLimits limits;
  if (std::optional<int64_t> room = plat::FreeSpace(folder)) limits.total = static_cast<uint64_t>(std::max<int64_t>(*room, 0));
  if (std::optional<int64_t> limit = plat::FileSizeLimit()) limits.member = static_cast<uint64_t>(std::max<int64_t>(*limit, 0));
  limits.stop = stop;
  return limits;
}

// Said when Esc ended the walk: nothing was written.
void NoteWalkStopped(const std::string& archive) {
  AfxNote(plat::ShownPath(archive) + plat::Utf8ToCp932Lossy(" : 中止しました。何も書き出していません。"));
}

bool MethodKnown(const codec::CZipHeader& h) { return h.method == 0 || h.method == 8; }

// Writes one member below the target: false when it was not written (said why).
bool WriteMember(CQelDoc& doc, codec::CZipReader& reader, const codec::ZipEntry& entry, CExtractTarget& target,
                 const ZipRunOptions& options) {
  const codec::CZipHeader& h = entry.header;
  if (!MethodKnown(h)) {
    // A method the codec does not have: reported, and the rest still comes out.
    AfxNote(h.name + " : method " + std::to_string(h.method) + " " + ReasonOfCode(codec::err::kLzhMethod));
    return false;
  }
  // A name flagged UTF-8 is read as such; one read as UTF-8 only because of the
  // setting keeps the Shift-JIS pairs that are not UTF-8.
  const bool flagged = (h.flags & codec::kFlagUtf8) != 0;
  const ArchiveStatus named = doc.ZipMemberName(h.name, flagged);
  const std::string& name = named.path;
  const bool exact = !named.warned();
  bool isFolder = false;
  std::optional<std::string> rel = SafeMemberPath(name, &isFolder);
  // A name Shift-JIS cannot express is refused, never written under another name.
  if (!exact || (!rel && !isFolder)) {
    AfxNote(name + " : " + CodeWithReason(codec::err::kWrite, TroubleReason(exact ? WriteTrouble::BadName : WriteTrouble::NotShiftJis)));
    return false;
  }
  if (!rel) return true;
  if (isFolder) {
    if (target.MakeFolders(*rel)) return true;
    AfxNote(name + " : " + CodeWithReason(codec::err::kWrite, target.Why()));
    return false;
  }
  // A member that cannot be made, or does not decode whole, is reported and left out
  // (what was there stays); the members after it still come out. The time and the
  // read-only mark are the file's before it takes its name.
  MemberStamp stamp;
  stamp.mtime = target.LocalTime(h.year, h.month, h.day, h.hour, h.minute, h.second);
  stamp.readOnly = reader.FromDirectory() && (h.externalAttributes & 0x01);
  const ArchiveStatus wrote = RunCodec([&] {
    target.WriteFile(
        *rel, [&](codec::CByteSink& sink) { reader.Extract(entry, sink, options.codec); }, false, stamp, nullptr);
  });
  if (wrote.ok()) return true;
  AfxNote(name + " : " + wrote.reason);
  ReportCodecError(wrote.codecCode.c_str());
  return false;
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

ArchiveStatus ExtractZipToFolder(CQelDoc& doc, const std::string& archive, const std::string& folder,
                                 const ZipRunOptions& options) {
  plat::MakeDirectory(folder);
  const std::optional<std::string> resolved = ResolvedFolder(folder);
  if (!resolved) return ArchiveStatus::Fail();
  CExtractTarget target(*resolved, options.askOverwrite);
  std::vector<uint8_t> input;
  if (ArchiveStatus read = ReadArchive(doc, archive, input); !read.ok()) return read;
  bool failed = false, refused = false;
  const ArchiveStatus run = RunCodec([&] {
    codec::CZipReader reader(input, WalkLimits(target.Folder(), options.stop));
    if (reader.WalkStopped()) NoteWalkStopped(archive);
    if (reader.WalkStopped() || RefusedWhole(reader, archive, target.Folder())) {
      refused = true;
      return;
    }
    for (const codec::ZipEntry& entry : reader.Entries()) {
      if (!WriteMember(doc, reader, entry, target, options)) failed = true;
    }
  });
  if (!run.ok()) {
    AfxNote(plat::ShownPath(archive) + " : " + run.reason);
    ReportCodecError(run.codecCode.c_str());
  }
  return run.ok() && !refused && !failed ? ArchiveStatus::Done() : ArchiveStatus::Fail();
}

ArchiveStatus InflateZipImage(CQelDoc& doc, std::span<const uint8_t> image, uint8_t* output, int outputCapacity) {
  // The output goes straight into the caller's buffer unless the archive image lies
  // in it; then into a block of its own, copied over at the end.
  const std::less<const uint8_t*> before;
  const bool direct = output && (!before(image.data(), output + std::max(outputCapacity, 0)) ||
                                 !before(output, image.data() + image.size()));
  std::vector<uint8_t> block;
  if (!direct && !TryAllocate(block, outputCapacity, 1, 2000, &doc.m_allocHook)) {
    char note[64];
    std::snprintf(note, sizeof note, " 030  zipoutmax = %d", outputCapacity);
    ShowOutOfMemory(note);
    return ArchiveStatus::Fail(ArchiveCode::kOutOfMemory);
  }
  codec::CBoundedSink memory(direct ? output : block.data(), static_cast<uint64_t>(std::max(outputCapacity, 0)));
  bool unknownMethod = false, cut = false;
  const ArchiveStatus run = RunCodec([&] {
    // The walk of an archive without a directory goes no further than the output's room.
    codec::ZipWalkLimits limits;
    limits.total = static_cast<uint64_t>(std::max(outputCapacity, 0));
    codec::CZipReader reader(image, limits);
    for (const codec::ZipEntry& entry : reader.Entries()) {
      if (reader.WalkCut() && &entry == &reader.Entries().back()) {
        cut = true;
        break;
      }
      if (!MethodKnown(entry.header)) {
        unknownMethod = true;
        continue;
      }
      reader.Extract(entry, memory, {});
    }
  });
  if (!run.ok()) {
    ReportCodecError(run.codecCode.c_str());
    return ArchiveStatus::Fail();
  }
  // The room is filled; output that did not fit makes the run a failure (size over).
  const size_t copy = static_cast<size_t>(memory.Kept());
  if (!direct) std::memcpy(output, block.data(), copy);
  if (unknownMethod) return ArchiveStatus::Fail();
  return cut || memory.Overflowed() ? ArchiveStatus::Fail(ArchiveCode::kSizeOver) : ArchiveStatus::Done(static_cast<int64_t>(copy));
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
// Fills plan from the archive's members; false when one of them keeps the program out.
bool PlanMembers(CQelDoc& doc, std::span<const uint8_t> bytes, CExtractTarget& target, const ZipRunOptions& options,
                 ProgramPlan& plan) {
  constexpr uint32_t kTypeMask = 0170000, kSymbolicLink = 0120000;  // Unix mode in the high attribute word
  codec::CZipReader reader(bytes, WalkLimits(target.Folder(), options.stop));
  const char* code = nullptr;
  if (reader.WalkStopped() || reader.Entries().empty() || ZipBombReason(reader, target.Folder(), &code)) return false;
  for (const codec::ZipEntry& e : reader.Entries()) {
    const codec::CZipHeader& h = e.header;
    if ((h.externalAttributes >> 16 & kTypeMask) == kSymbolicLink) return false;
    const bool utf8 = h.flags & codec::kFlagUtf8;
    const std::string name = utf8 ? plat::Utf8NameToCp932(h.name, false, doc.m_bSjisFixed) : h.name;
    if (plat::FindLastSeparator(name) != std::string::npos) return false;
    bool isFolder = false;
    std::optional<std::string> rel = SafeMemberPath(name, &isFolder);
    // A file name the own codec refuses ("a/..") is refused by it, with its message.
    if (!rel && !isFolder) return false;
    if (rel && !target.StaysInside(*rel)) return false;
    if (!utf8)
      for (char c : h.name)
        if (static_cast<uint8_t>(c) >= 0x80) return false;
    if (!rel || isFolder) continue;
    plan.sizes.try_emplace(*rel, h.uncompressedSize);
    plan.largest = std::max(plan.largest, h.uncompressedSize);
  }
  return true;
}

std::optional<ProgramPlan> PlanForProgram(CQelDoc& doc, const std::string& archive, CExtractTarget& target,
                                          const ZipRunOptions& options) {
  std::vector<uint8_t> bytes;
  plat::File file;
  if (!file.Open(archive, plat::File::Mode::Read)) return std::nullopt;
  int64_t length = file.GetLength();
  if (!TryAllocate(bytes, length, 1, 0, &doc.m_allocHook)) return std::nullopt;
  if (file.Read(bytes.data(), length) != length) return std::nullopt;
  ProgramPlan plan;
  bool allowed = false;
  // Unread members cannot be checked: the own codec reports the fault.
  if (!RunCodec([&] { allowed = PlanMembers(doc, bytes, target, options, plan); }).ok() || !allowed) return std::nullopt;
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

// The program unpacks into a work folder inside the target; its status is read as
// unzip documents it: 0 success, 1 a warning with every member unpacked, anything
// else a failure. nullopt when the program failed and placed nothing, or the archive
// is not one the program may unpack.
std::optional<ArchiveStatus> ExtractWithProgram(CQelDoc& doc, const std::string& archive, const std::string& folder,
                                                const ZipRunOptions& options) {
  const std::string cwd = plat::GetCurrentDirectory();
  const std::string absArchive = InFolder(cwd, archive), absFolder = InFolder(cwd, folder);
  plat::MakeDirectory(absFolder);
  const std::optional<std::string> resolved = ResolvedFolder(absFolder);
  std::optional<std::string> hostArchive = plat::ToHostPath(absArchive);
  if (!resolved || !hostArchive) return std::nullopt;
  CExtractTarget target(*resolved, options.askOverwrite);
  const std::optional<ProgramPlan> plan = PlanForProgram(doc, absArchive, target, options);
  if (!plan) return std::nullopt;
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

ArchiveStatus CQelDoc::ExtractZip(ExtractMode mode, std::string archive, std::string folder, ExtractOverwrite overwrite) {
  ZipRunOptions options;
  options.askOverwrite = overwrite == ExtractOverwrite::kAsk;
  // Esc, once taken, ends this unpack on whichever road it comes.
  bool stopped = false;
  options.stop = [&stopped] { return stopped || (stopped = g_pMainFrame && g_pMainFrame->CheckUserAbort() != 0); };
  // A mode that asks for the program takes the own codec when there is none.
  if (mode != ExtractMode::kOwn && Archive().m_pfnUnZip) {
    // The program failed, or may not unpack the archive, and placed nothing: the own
    // codec tells member by member.
    if (std::optional<ArchiveStatus> done = ExtractWithProgram(*this, archive, folder, options)) return *done;
  }
  return ExtractZipToFolder(*this, archive, folder, options);
}

ArchiveStatus CQelDoc::InflateZipInMemory(const uint8_t* image, int length, uint8_t* output, int capacity) {
  // The program cannot fill a buffer: the own codec's road.
  if (!image || !output || length < 2 || capacity <= 0) return ArchiveStatus::Fail();
  return InflateZipImage(*this, {image, static_cast<size_t>(length)}, output, capacity);
}
