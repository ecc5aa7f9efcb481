// CQelDoc::WriteArchive: packs files and folders into a ZIP archive with the own
// writer. The archive is written to a new work file beside it (never through a
// planted link) and renamed when complete, so a failed pack leaves no partial
// archive and an older archive of the same name is never read while it is being
// replaced; members are stored under relative names, the archive never packs
// itself, and symbolic links and special files are left out (and said so), never
// followed or read. A name Shift-JIS cannot express, or a file that cannot be read,
// fails the pack by name before the archive replaces anything.
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "archive/ArchiveState.h"
#include "app/StringTable.h"
#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "archive/ArchivePaths.h"
#include "archive/FailureReason.h"
#include "archive/pack/FileSpec.h"
#include "archive/lzh/LzhProgram.h"
#include "archive/pack/PackList.h"
#include "codec/CodecError.h"
#include "codec/ErrorCodes.h"
#include "codec/zip/ZipWriter.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"

namespace {

class FileSource : public codec::CByteSource {
 public:
  explicit FileSource(plat::File& file) : file_(file) {}
  int64_t Read(uint8_t* data, size_t n) override {
    const int64_t got = file_.Read(data, static_cast<int64_t>(n));
    if (got < 0) codec::Fail(codec::err::kReadFailed, ErrnoReason(errno));
    return got;
  }

 private:
  plat::File& file_;
};

class FileSinkOut : public codec::CByteSink {
 public:
  explicit FileSinkOut(plat::File& file) : file_(file) {}
  void Put(const uint8_t* data, size_t n) override {
    if (!file_.Write(data, static_cast<int64_t>(n))) codec::Fail(codec::err::kWriteFailed, ErrnoReason(errno));
  }

 private:
  plat::File& file_;
};

// A stored name: no drive, no leading separators, no "." or ".." parts.
std::string RelativeMemberName(const std::string& name) {
  bool isFolder = false;
  std::optional<std::string> rel = SafeMemberPath(name, &isFolder);
  if (!rel) return "";
  std::string out = NormalizeArchivePath(*rel);  // '/' separators, ends with '/'
  if (!isFolder && !out.empty() && out.back() == '/') out.pop_back();
  return out;
}

// The same file, by the host's own identity of the two paths.
bool SameFile(const std::string& a, const std::string& b) {
  std::optional<std::string> ha = plat::ToHostPath(a), hb = plat::ToHostPath(b);
  if (!ha || !hb) return false;
  std::error_code ec;
  return std::filesystem::equivalent(*ha, *hb, ec) && !ec;
}

// The archive's name: as given, or made from the first source.
std::string ArchiveName(const CQelDoc& doc, PackMode mode, const PackName& given, const std::vector<std::string>& sources) {
  if (!given.made()) return given.path();
  if (sources.empty()) return "";
  std::string name = sources[0];
  if (doc.m_nStartMode == 1) name = "C:\\ARCHTMP\\" + name;
  if (!name.empty() && (name.back() == '/' || name.back() == '\\') && plat::FindLastSeparator(name) == name.size() - 1)
    name.back() = '_';
  return name + (mode == PackMode::kZip ? ".zip" : ".lzh");
}

// Writes the entries (relative to folder) into the archive's work file; the file
// being read when the writer failed goes to *member.
ArchiveStatus WriteEntries(const std::vector<FileEntry>& entries, const std::string& folder, plat::WorkFile& work,
                           const std::string& archive, std::string* member) {
  return RunCodec([&] {
    if (!work.CreateBeside(archive)) codec::Fail(codec::err::kArchiveOpen, ErrnoReason(errno));
    FileSinkOut sink(work.Out());
    codec::CZipWriter writer(sink);
    for (const FileEntry& e : entries) {
      codec::CZipHeader record;
      record.name = RelativeMemberName(e.name);
      if (record.name.empty()) continue;
      record.year = e.year;
      record.month = e.month;
      record.day = e.day;
      record.hour = e.hour;
      record.minute = e.minute;
      record.second = e.second;
      if (e.uncompressedSize == -2) {
        if (record.name.back() != '/') record.name += '/';
        record.externalAttributes = 0x10;
        writer.AddFolder(record);
        continue;
      }
      plat::File in;
      *member = e.name;
      if (!in.Open(InFolder(folder, e.name), plat::File::Mode::Read)) codec::Fail(codec::err::kReadFailed, ErrnoReason(errno));
      FileSource source(in);
      writer.AddFile(record, source);
      member->clear();
    }
    writer.Finish();
  });
}

}  // namespace

ArchiveStatus CQelDoc::WriteArchive(PackMode mode, PackName name, std::vector<std::string> sourceSpecs,
                                    PackMessages messages, std::string folder) {
  if (g_pMainFrame) g_pMainFrame->Ui().BeginWaitCursor();
  struct EndWait {
    ~EndWait() {
      if (g_pMainFrame) g_pMainFrame->Ui().EndWaitCursor();
    }
  } endWait;
  const bool quiet = messages == PackMessages::kQuiet;

  // The archive as the caller named it (in messages), and where it is written.
  const std::string named = ArchiveName(*this, mode, name, sourceSpecs);
  const std::string archive = InFolder(folder, named);
  std::vector<std::string> sources;
  LeftOut leftOut;
  for (const std::string& source : sourceSpecs) {
    const std::string p = plat::WithoutTrailingSeparators(source);
    for (std::string& s : ExpandFileSpec(folder, p, &leftOut.unnamed)) sources.push_back(std::move(s));
  }

  if (mode == PackMode::kLzh) {
    if (!LzhProgramCanCreate(Archive())) {
      if (!quiet) AfxMessageBox(LoadString(IDS_NEEDS_UNLHA_TO_PACK) + LzhProgramNote(Archive()));
      return ArchiveStatus::Fail();
    }
    // A name that cannot be stored, or a file that cannot be read, refuses the pack
    // (each named); the program's own failure is the archive's.
    size_t notStored = 0;
    const std::optional<std::vector<std::string>> names = WalkPackList(folder, sources, leftOut, &notStored);
    const int packed = names && !names->empty() ? PackWithLzhProgram(Archive(), archive, folder, *names) : -2;
    if (packed == 0) return FinishedLeavingOut(named, notStored, Loss::NotStored);
    if (!quiet) AfxMessageBox(plat::ShownPath(named) + "\r\n" + LoadString(IDS_CANNOT_MAKE) + LzhPackReason(packed, folder));
    return ArchiveStatus::Fail();
  }

  std::vector<FileEntry> entries;
  for (const std::string& s : sources) CollectTreeFiles(folder, s, entries, &leftOut);
  // Nothing is written when a name cannot be stored: the archive would go without it.
  if (!AcceptLeftOut(leftOut)) return ArchiveStatus::Fail();
  std::erase_if(entries, [&](const FileEntry& e) { return SameFile(InFolder(folder, e.name), archive); });
  if (entries.empty()) return ArchiveStatus::Fail(ArchiveCode::kNothingToPack);

  plat::WorkFile work;
  std::string member;  // the file being read, named in its failure
  if (const ArchiveStatus wrote = WriteEntries(entries, folder, work, archive, &member); !wrote.ok()) {
    work.Discard();
    // The writer's code and why, with the file it is about, even when quiet.
    AfxMessageBox(plat::ShownPath(member.empty() ? named : member) + " : " + wrote.reason);
    return wrote;
  }
  if (!work.CommitAs(archive)) {
    if (!quiet) AfxMessageBox(plat::ShownPath(named) + " : " + CodeWithReason(codec::err::kArchiveOpen, ErrnoReason(errno)));
    return ArchiveStatus::Fail();
  }
  return FinishedLeavingOut(named, NotStored(leftOut), Loss::NotStored);
}
