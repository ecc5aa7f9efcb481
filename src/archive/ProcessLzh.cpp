// CQelDoc::ProcessLzh: unpacks an LZH archive into a folder with the own reader
// ("-lh0-", "-lh5-" and "-lhd-" members). Creating LZH archives needs the outside
// library, which this system does not have: mode 1 takes the unpacking road too.
#include <optional>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "archive/ArchivePaths.h"
#include "archive/ExtractTarget.h"
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
  size_t sep = plat::FindLastSeparator(path);
  if (sep != std::string::npos) MakeDirectoryPath(path.substr(0, sep));
  plat::File out;
  CODEC_CHECK(out.Open(path, plat::File::Mode::Write), codec::err::kWrite);
  CFileSink sink(out);
  codec::DecodeLzhMember(h, archive.subspan(static_cast<size_t>(h.dataOffset), static_cast<size_t>(h.packedSize)),
                         sink);
  out.Close();
  int64_t t = h.unixTime >= 0 ? h.unixTime : LocalTimeOf(h.year, h.month, h.day, h.hour, h.minute, h.second);
  if (t >= 0) plat::SetFileTime(path, t);
}

}  // namespace

int CQelDoc::ProcessLzh(std::string archive, std::string folder, int /*mode*/) {
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
