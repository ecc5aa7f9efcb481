// CQelDoc::ProcessLzh: creates an LZH archive from a folder, or unpacks one into a
// folder. The lha program does both when it can create archives; without it the own
// reader unpacks ("-lh0-", "-lh5-" and "-lhd-" members) and creating is not offered.
// The program unpacks only archives whose every member stays inside the folder.
#include <optional>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "archive/ArchivePaths.h"
#include "archive/ExtractTarget.h"
#include "archive/LzhProgram.h"
#include "archive/codec/CodecError.h"
#include "archive/codec/LzhDecoder.h"
#include "archive/codec/LzhHeader.h"
#include "frame/MainFrame.h"
#include "platform/Alloc.h"
#include "platform/Files.h"

namespace {

constexpr int IDS_NEEDS_UNLHA = 208;

void WriteMember(const codec::CLzhHeader& h, std::span<const uint8_t> archive, const std::string& target) {
  bool isFolder = false;
  std::optional<std::string> rel = SafeMemberPath(h.Path(), &isFolder);
  if (!rel || !StaysInside(target, *rel)) return;
  std::string path = WinJoin(target, *rel);
  if (h.method == "-lhd-" || isFolder) {
    MakeDirectoryPath(path);
    return;
  }
  WriteMemberFile(path, [&](codec::CByteSink& sink) {
    codec::DecodeLzhMember(h, archive.subspan(static_cast<size_t>(h.dataOffset), static_cast<size_t>(h.packedSize)),
                           sink);
  });
  int64_t t = h.unixTime >= 0 ? h.unixTime : LocalTimeOf(h.year, h.month, h.day, h.hour, h.minute, h.second);
  if (t >= 0) plat::SetFileTime(path, t);
}

}  // namespace

namespace {

// True when every member names a plain relative path (no drive, no leading
// separator, no "..") that stays inside the folder: only then may the program unpack.
bool MembersStayInside(std::span<const uint8_t> image, const std::string& folder) {
  uint64_t pos = 0;
  try {
    for (;;) {
      codec::CLzhHeader h;
      if (h.Read(image, pos) < 0) return true;
      const std::string path = NormalizeArchivePath(h.Path());
      if (path.empty() || path[0] == '/' || (path.size() > 1 && path[1] == ':') || ("/" + path).find("/../") != std::string::npos)
        return false;
      bool isFolder = false;
      std::optional<std::string> rel = SafeMemberPath(h.Path(), &isFolder);
      if (!rel || !StaysInside(folder, *rel)) return false;
    }
  } catch (const codec::CodecError&) {
    return false;
  }
}

}  // namespace

int CQelDoc::ProcessLzh(std::string archive, std::string folder, int mode) {
  const bool program = LzhProgramCanCreate(*this);
  if (mode == 1 && program) {
    // The folder's contents, under names relative to it.
    if (!plat::SetCurrentDirectory(folder)) return -1;
    std::vector<std::string> names;
    for (std::string& name : ListFolderNames(".")) names.push_back(std::move(name));
    if (names.empty()) return -1;
    return PackWithLzhProgram(*this, archive, names);
  }
  plat::MakeDirectory(folder);
  if (!plat::SetCurrentDirectory(folder)) return -1;
  const std::string target = plat::GetCurrentDirectory();
  plat::File file;
  if (!file.Open(archive, plat::File::Mode::Read)) return -1;
  int64_t length = file.GetLength();
  std::vector<uint8_t> bytes;
  if (length < 0 || !plat::TryResize(bytes, static_cast<size_t>(length) + 1000, &m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 028"));
    return -1;
  }
  if (file.Read(bytes.data(), length) != length) return -1;
  std::span<const uint8_t> image(bytes.data(), static_cast<size_t>(length));
  if (program && MembersStayInside(image, target)) {
    const int result = UnpackWithLzhProgram(*this, archive, target);
    // The program makes no empty folders: the folder entries are made here.
    uint64_t pos = 0;
    for (codec::CLzhHeader h; result == 0 && h.Read(image, pos) >= 0; h = codec::CLzhHeader()) {
      bool isFolder = false;
      std::optional<std::string> rel = SafeMemberPath(h.Path(), &isFolder);
      if (rel && (h.method == "-lhd-" || isFolder)) MakeDirectoryPath(WinJoin(target, *rel));
    }
    return result;
  }
  try {
    uint64_t pos = 0;
    for (;;) {
      codec::CLzhHeader h;
      if (h.Read(image, pos) < 0) break;
      if (h.method != "-lh5-" && h.method != "-lh0-" && h.method != "-lhd-") codec::Fail(codec::err::kLzhMethod);
      WriteMember(h, image, target);
    }
  } catch (const codec::CodecError& e) {
    if (std::string_view(e.Code()) == codec::err::kLzhMethod)
      AfxMessageBox(LoadString(IDS_NEEDS_UNLHA));
    else
      AfxMessageBox(e.Code());
  }
  return 0;
}
