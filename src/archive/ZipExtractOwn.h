// The own-codec road of the ZIP extraction, shared by CQelDoc::ExtractZip and the
// temporary archive of CQelDoc::InflateViaTempZip.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "codec/zip/ZipReader.h"

class CQelDoc;

struct ZipRunOptions {
  codec::ZipExtractOptions codec;
  // With placeholder sizes: where a member's output ends (the caller's room).
  uint64_t placeholderLimit = 0;
  // File mode: an existing file is replaced only after Yes to the overwrite question.
  bool askOverwrite = false;
};

// File mode (no memory image): the archive file's members are written below folder,
// which is made and entered first; 0 on success, -1 when a member was not written
// (each such member is reported; a member the user chose not to overwrite is not a
// failure). Memory mode: the members of the
// archive image go one after the other into output (at most outputCapacity bytes);
// returns the bytes produced, -3 when they did not fit (the room then filled). -1 on
// a failure, -9 out of memory.
// The image and output may be the same buffer.
int ExtractZipOwnCodec(CQelDoc& doc, const std::string& archive, const std::string& folder,
                       std::span<const uint8_t> memoryImage, uint8_t* output, int outputCapacity,
                       const ZipRunOptions& options);


// Why the archive must not be unpacked into folder at all ("code reason"), *code the
// code: members whose data overlap, a declared total past the free space, a member
// past the file-size limit. nullopt when none holds.
std::optional<std::string> ZipBombReason(const codec::CZipReader& reader, const std::string& folder, const char** code);
