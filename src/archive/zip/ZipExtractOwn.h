// The own-codec road of the ZIP extraction, shared by CQelDoc::ExtractZip and
// CQelDoc::InflateZipInMemory: one member reader (the codec's CZipReader) serves two
// roads, the members of an archive file written below a folder, and the members of an
// archive image inflated into a buffer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "ops/ArchiveStatus.h"
#include "codec/zip/ZipReader.h"

class CQelDoc;

struct ZipRunOptions {
  codec::ZipExtractOptions codec;
  // File mode: an existing file is replaced only after Yes to the overwrite question.
  bool askOverwrite = false;
  // File mode: polled while an archive without a directory is walked (Esc); true
  // ends the unpack before anything is written.
  std::function<bool()> stop;
};

// The archive file's members written below folder (made when missing; a relative
// folder and archive are taken from the process's current folder, which stays as it
// is). Done, or failed when a member was not written (each such member is reported;
// a member the user chose not to overwrite is not a failure); out of memory.
ArchiveStatus ExtractZipToFolder(CQelDoc& doc, const std::string& archive, const std::string& folder,
                                 const ZipRunOptions& options);
// The members of the archive image inflated one after the other into output (at most
// outputCapacity bytes); done with the bytes produced, size over when they did not fit
// (the room then filled), failed, out of memory. The image and output may be the same
// buffer.
ArchiveStatus InflateZipImage(CQelDoc& doc, std::span<const uint8_t> image, uint8_t* output, int outputCapacity);

// Why the archive must not be unpacked into folder at all ("code reason"), *code the
// code: members whose data overlap, a declared total past the free space, a member
// past the file-size limit. nullopt when none holds.
std::optional<std::string> ZipBombReason(const codec::CZipReader& reader, const std::string& folder, const char** code);
