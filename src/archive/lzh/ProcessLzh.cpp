// CQelDoc::ProcessLzh: creates an LZH archive from a folder, or unpacks one into a
// folder. The lha program does both when it can create archives; without it the own
// reader unpacks ("-lh0-", "-lh5-" and "-lhd-" members) and creating is not offered.
// The program unpacks only archives whose every member stays inside the folder, and
// into a work folder whose files are moved in only when it succeeded. A member that
// is not written (a method the own reader lacks, a damaged one) is reported and
// makes the run a failure; the members after it still come out.
#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <optional>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "ops/ArchiveModes.h"
#include "archive/ArchiveState.h"
#include "ops/ArchiveStatus.h"
#include "archive/ArchivePaths.h"
#include "archive/unpack/ExtractTarget.h"
#include "archive/FailureReason.h"
#include "archive/lzh/LzhProgram.h"
#include "archive/pack/PackList.h"
#include "archive/unpack/UnpackViaProgram.h"
#include "base/CheckedSize.h"
#include "codec/CodecError.h"
#include "codec/checksums/Crc16.h"
#include "codec/ErrorCodes.h"
#include "codec/lzh/LzhDecoder.h"
#include "codec/lzh/LzhHeader.h"
#include "frame/MainFrame.h"
#include "base/Alloc.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

// Which member of a name the target holds: by its place in the archive (1 the
// first), 0 for the file that was there before the unpack.
using KeptMembers = std::unordered_map<std::string, int>;

// Says which of the members of one name was kept, after a later one was written or
// declined; the member not kept is counted in skipped.
void NoteKeptMember(const std::string& path, int kept, size_t& skipped) {
  ++skipped;
  AfxNote(plat::ShownPath(path) + plat::Utf8ToCp932Lossy(" : 同じ名前のメンバーが複数あります。") +
          (kept > 0 ? plat::Utf8ToCp932Lossy(std::to_string(kept) + "番目のメンバーを残しました。")
                    : plat::Utf8ToCp932Lossy("元のファイルを残しました。")));
}

// Writes one member (the ordinal-th of the archive) below the target; a member that
// cannot be made or does not decode whole throws its code and leaves what was there.
// A later member of a name met before is asked about like any file in its way
// (when the target asks), and which one was kept is said.
void WriteMember(const codec::CLzhHeader& h, std::span<const uint8_t> archive, CExtractTarget& target, int ordinal,
                 KeptMembers& kept, size_t& skipped) {
  bool isFolder = false;
  std::optional<std::string> rel = SafeMemberPath(h.Path(), &isFolder);
  if (!rel) {
    // A folder entry of the target itself makes nothing; a file of no name (or one
    // named "a/..") is refused.
    if (isFolder || h.method == "-lhd-") return;
    codec::Fail(codec::err::kWrite, TroubleReason(WriteTrouble::BadName));
  }
  if (h.method == "-lhd-" || isFolder) {
    if (!target.MakeFolders(*rel)) codec::Fail(codec::err::kWrite, target.Why());
    return;
  }
  const auto earlier = kept.find(*rel);
  if (h.method != "-lh5-" && h.method != "-lh0-") codec::Fail(codec::err::kLzhMethod);
  MemberStamp stamp;
  const int64_t t = h.unixTime >= 0 ? h.unixTime : target.LocalTime(h.year, h.month, h.day, h.hour, h.minute, h.second);
  if (t >= 0) stamp.mtime = t;
  const MemberOutcome outcome = target.WriteFile(
      *rel,
      [&](codec::CByteSink& sink) {
        codec::DecodeLzhMember(
            h, archive.subspan(static_cast<size_t>(h.dataOffset), static_cast<size_t>(h.packedSize)), sink);
      },
      false, stamp, nullptr);
  if (earlier == kept.end()) {
    kept[*rel] = outcome == MemberOutcome::Written ? ordinal : 0;
    return;
  }
  if (outcome == MemberOutcome::Written) earlier->second = ordinal;
  NoteKeptMember(h.Path(), earlier->second, skipped);
}

// True when two file members share a name and the own reader decodes every member:
// the own reader then unpacks, asking about each later member as the ZIP road does,
// where the program would keep the last without a word.
bool SameNamesForTheOwnReader(std::span<const uint8_t> image) {
  std::unordered_set<std::string> names;
  bool twice = false, decodes = true;
  uint64_t pos = 0;
  RunCodec([&] {
    for (codec::CLzhHeader h; h.Read(image, pos) >= 0; h = codec::CLzhHeader()) {
      bool isFolder = false;
      std::optional<std::string> rel = SafeMemberPath(h.Path(), &isFolder);
      if (!rel || isFolder || h.method == "-lhd-") continue;
      if (h.method != "-lh5-" && h.method != "-lh0-") decodes = false;
      if (!names.insert(*rel).second) twice = true;
    }
  });
  return twice && decodes;
}

// True when every member names a plain relative path (no drive, no leading
// separator, no "..") that stays inside the folder: only then may the program unpack.
bool MembersStayInside(std::span<const uint8_t> image, CExtractTarget& target) {
  uint64_t pos = 0;
  bool inside = true;
  const ArchiveStatus read = RunCodec([&] {
    for (codec::CLzhHeader h; inside && h.Read(image, pos) >= 0; h = codec::CLzhHeader()) {
      const std::string path = NormalizeArchivePath(h.Path());
      bool isFolder = false;
      std::optional<std::string> rel = SafeMemberPath(h.Path(), &isFolder);
      inside = !path.empty() && path[0] != '/' && !(path.size() > 1 && path[1] == ':') &&
               ("/" + path).find("/../") == std::string::npos && rel && target.StaysInside(*rel);
    }
  });
  return read.ok() && inside;
}

// The declared sizes of the file members: their total and the largest. A header that
// cannot be read ends the sum (the unpack itself reports it).
std::pair<uint64_t, uint64_t> DeclaredSizes(std::span<const uint8_t> image) {
  uint64_t total = 0, largest = 0, pos = 0;
  RunCodec([&] {
    for (codec::CLzhHeader h; h.Read(image, pos) >= 0; h = codec::CLzhHeader()) {
      if (h.method == "-lhd-") continue;
      total = h.originalSize > ~total ? ~uint64_t{0} : total + h.originalSize;
      largest = std::max(largest, h.originalSize);
    }
  });
  return {total, largest};
}

// Why a member the program wrote (size bytes of the header's) came out short: a
// full disk or the file-size limit stops the program, which still reports success.
std::string ShortReason(const std::string& work, int64_t size) {
  constexpr int64_t kFull = 64 * 1024;
  std::optional<int64_t> room = plat::FreeSpace(work);
  if (room && *room < kFull) return ErrnoReason(ENOSPC);
  std::optional<int64_t> limit = plat::FileSizeLimit();
  if (limit && size >= *limit) return ErrnoReason(EFBIG);
  return ReasonOfCode(codec::err::kSizeMismatch);
}

// The program reports success over members it cut short (a full disk) and over
// members whose data fails their CRC (which is 0 for any run of zero bytes): each
// file it made is checked against its header's size and CRC, and one that fails is
// removed from the work folder (never placed, so a file of its name stays) and
// reported. The first failure's text ("code reason"), or "" when every one held; the
// members of a name the program did not keep are counted in skipped.
std::string DropDamagedFiles(std::span<const uint8_t> image, const std::string& work, const ArchiveState& state,
                             size_t& skipped) {
  std::string first;
  // Of members of one name the program keeps the last: only that one is checked,
  // and the keeping is said.
  std::vector<std::pair<codec::CLzhHeader, std::string>> files;
  std::unordered_map<std::string, size_t> last;
  std::unordered_map<std::string, int> count;
  std::vector<int> ordinals;
  uint64_t pos = 0;
  int ordinal = 0;
  for (codec::CLzhHeader h; h.Read(image, pos) >= 0; h = codec::CLzhHeader()) {
    ++ordinal;
    bool isFolder = false;
    std::optional<std::string> rel = SafeMemberPath(h.Path(), &isFolder);
    if (!rel || isFolder || h.method == "-lhd-") continue;
    last[*rel] = files.size();
    ++count[*rel];
    ordinals.push_back(ordinal);
    files.emplace_back(std::move(h), *rel);
  }
  std::vector<uint8_t> block(1 << 16);
  for (size_t i = 0; i < files.size(); ++i) {
    const auto& [h, rel] = files[i];
    if (last[rel] != i) continue;
    const std::string path = WinJoin(work, rel);
    plat::File file;
    codec::CCrc16 crc;
    int64_t size = 0;
    bool read = file.Open(path, plat::File::Mode::Read);
    int error = read ? 0 : errno;
    for (int64_t n = 0; read && (n = file.Read(block.data(), static_cast<int64_t>(block.size()))) != 0;) {
      if (n < 0) {
        read = false;
        error = errno;
      }
      if (n > 0) {
        crc.Update(block.data(), static_cast<size_t>(n));
        size += n;
      }
    }
    file.Close();
    std::string text;
    if (!read && error == ENOENT) {
      // The program reported success and wrote nothing of the member: it could not read the archive.
      const bool own = h.method == "-lh0-" || h.method == "-lh5-";
      text = CodeWithReason(codec::err::kWrite, plat::Utf8ToCp932Lossy("the lha program could not read the archive (" +
                                                                        state.m_strLhaProgram + ")" +
                                                                        (own ? "; the own reader can, with no lha on PATH" : "")));
    } else if (!read) {
      text = CodeWithReason(codec::err::kWrite, ErrnoReason(error));
    } else if (static_cast<uint64_t>(size) != h.originalSize) {
      text = CodeWithReason(codec::err::kSizeMismatch, ShortReason(work, size));
    } else if (h.hasFileCrc && crc.Value() != h.fileCrc) {
      text = CodeWithReason(codec::err::kLzhCrc);
    } else {
      if (count[rel] > 1) NoteKeptMember(h.Path(), ordinals[i], skipped);
      continue;
    }
    plat::RemoveFile(path);
    AfxNote(plat::ShownPath(h.Path()) + " : " + text);
    if (first.empty()) first = text;
  }
  return first;
}

// The own reader: every member that decodes is written, each one that does not is
// reported by its name, code and reason; a header that cannot be read ends the walk.
// Done when every member was written (or declined), else failed.
// The first failure's code is shown in a message box at the end (string 208 for a
// method the reader lacks).
ArchiveStatus UnpackOwn(std::span<const uint8_t> image, CExtractTarget& target, const std::string& archive,
                        ArchiveState& state) {
  ArchiveStatus first;
  uint64_t pos = 0;
  KeptMembers kept;
  size_t skipped = 0;
  for (int ordinal = 1, end = 0; !end; ++ordinal) {
    codec::CLzhHeader h;
    bool headerRead = false;
    const ArchiveStatus member = RunCodec([&] {
      end = h.Read(image, pos) < 0;
      headerRead = true;
      if (!end) WriteMember(h, image, target, ordinal, kept, skipped);
    });
    if (member.ok()) continue;
    if (first.ok()) first = member;
    if (!headerRead) break;  // the header itself could not be read: nothing after it is found
    const bool method = member.IsCodec(codec::err::kLzhMethod);
    AfxNote(plat::ShownPath(h.Path()) + " : " + (method ? h.method + " " + ReasonOfCode(member.codecCode) : member.reason));
  }
  if (first.ok()) return FinishedLeavingOut(archive, skipped, Loss::NotUnpacked);
  AfxMessageBox(first.IsCodec(codec::err::kLzhMethod) ? LoadString(IDS_NEEDS_UNLHA) + LzhProgramNote(state)
                                                      : plat::ShownPath(archive) + "\r\n" + first.reason);
  return ArchiveStatus::Fail();
}

}  // namespace

ArchiveStatus CQelDoc::ProcessLzh(std::string archive, std::string folder, LzhMode mode) {
  const bool program = LzhProgramCanCreate(Archive());
  if (mode == LzhMode::kPack && program) {
    // The folder's contents, under names relative to it.
    if (!ResolvedFolder(folder)) return ArchiveStatus::Fail();
    LeftOut leftOut;
    size_t notStored = 0;
    const std::optional<std::vector<std::string>> names =
        WalkPackList(folder, ListFolderNames(InFolder(folder, "."), true, &leftOut.unnamed), leftOut, &notStored);
    if (!names || names->empty()) return ArchiveStatus::Fail();
    if (PackWithLzhProgram(Archive(), archive, folder, *names) != 0) return ArchiveStatus::Fail();
    return FinishedLeavingOut(archive, notStored, Loss::NotStored);
  }
  plat::MakeDirectory(folder);
  const std::optional<std::string> resolved = ResolvedFolder(folder);
  if (!resolved) return ArchiveStatus::Fail();
  // The user's unpack asks before an existing file is replaced.
  CExtractTarget target(*resolved, true);
  plat::File file;
  if (!file.Open(archive, plat::File::Mode::Read)) {
    AfxMessageBox(plat::ShownPath(archive) + "\r\n" + CodeWithReason(codec::err::kWrite, ErrnoReason(errno)));
    return ArchiveStatus::Fail();
  }
  const int64_t length = file.GetLength();
  std::vector<uint8_t> bytes;
  if (!TryAllocate(bytes, length, 1, 1000, &m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 028"));
    return ArchiveStatus::Fail(ArchiveCode::kOutOfMemory);
  }
  if (file.Read(bytes.data(), length) != length) return ArchiveStatus::Fail();
  std::span<const uint8_t> image(bytes.data(), static_cast<size_t>(length));
  // An archive that would not fit is refused before anything is written: no member
  // is written past its declared size.
  const std::pair<uint64_t, uint64_t> declared = DeclaredSizes(image);
  const uint64_t total = declared.first, largest = declared.second;
  if (std::optional<std::string> why = NoRoomReason(total, largest, target.Folder())) {
    AfxMessageBox(plat::ShownPath(archive) + "\r\n" + *why);
    return ArchiveStatus::Fail();
  }
  if (program && MembersStayInside(image, target) && !SameNamesForTheOwnReader(image)) {
    std::string damaged;
    size_t skipped = 0;
    std::optional<ArchiveStatus> placed = UnpackThroughWorkFolder(
        target,
        [&](const std::string& work) {
          const int status = UnpackWithLzhProgram(Archive(), archive, work, static_cast<int64_t>(largest));
          if (status == 0) damaged = DropDamagedFiles(image, work, Archive(), skipped);
          return status;
        },
        [](int status) { return status == 0; });
    // The program failed and placed nothing: the own reader tells member by member.
    if (placed) {
      if (!damaged.empty()) {
        AfxMessageBox(damaged);
        placed = ArchiveStatus::Fail();
      }
      // The program makes no empty folders: the folder entries are made here.
      uint64_t pos = 0;
      for (codec::CLzhHeader h; h.Read(image, pos) >= 0; h = codec::CLzhHeader()) {
        bool isFolder = false;
        std::optional<std::string> rel = SafeMemberPath(h.Path(), &isFolder);
        if (rel && (h.method == "-lhd-" || isFolder)) target.MakeFolders(*rel);
      }
      return placed->ok() ? FinishedLeavingOut(archive, skipped, Loss::NotUnpacked) : *placed;
    }
  }
  return UnpackOwn(image, target, archive, Archive());
}
