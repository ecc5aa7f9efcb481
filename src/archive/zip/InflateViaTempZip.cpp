// CQelDoc::InflateViaTempZip: inflates a bare Deflate stream (PNG and PDF data) by
// wrapping it as the one member of a temporary archive, "temp.zip" in the TMP
// folder, and extracting that with the own codec: in memory into the caller's buffer
// (the archive is then never written), or for image samples (InflateMode::kSamples) into
// "temp.txt", which is then read back. The archive goes once extracted; "temp.txt"
// goes when the load ends.
#include <algorithm>
#include <cstring>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "archive/zip/ZipExtractOwn.h"
#include "codec/zip/ZipRecords.h"
#include "base/ConvertStatus.h"
#include "base/ByteOrder.h"
#include "platform/os/Files.h"

ArchiveStatus CQelDoc::InflateViaTempZip(uint8_t* buffer, int length, int capacity, InflateMode mode) {
  if (!buffer || length < 0 || capacity < 0) return ArchiveStatus::Fail();
  // The member's sizes and CRC are placeholders: the stream's end decides the size.
  int64_t expected = mode == InflateMode::kSamples     ? int64_t{length} * 256
                     : mode == InflateMode::kToCapacity ? capacity
                                                        : int64_t{length} * 64;
  expected = std::min<int64_t>(expected, capacity);
  std::vector<uint8_t> zip;
  zip.reserve(static_cast<size_t>(length) + 38 + 256);
  AppendLE32(zip, codec::kLocalSignature);
  AppendLE16(zip, 20);
  AppendLE16(zip, 2);
  AppendLE16(zip, 8);
  AppendLE16(zip, 0x58A6);
  AppendLE16(zip, 0x3F14);
  AppendLE32(zip, 0);
  AppendLE32(zip, static_cast<uint32_t>(length));
  AppendLE32(zip, static_cast<uint32_t>(expected));
  AppendLE16(zip, 8);
  AppendLE16(zip, 0);
  const char name[] = "temp.txt";
  zip.insert(zip.end(), name, name + 8);
  zip.insert(zip.end(), buffer, buffer + length);
  zip.resize(zip.size() + 256, 0);

  const std::string tmp = TmpFolder();
  const std::string zipPath = tmp + "\\temp.zip";
  const std::string txtPath = tmp + "\\temp.txt";
  ZipRunOptions options;
  options.codec.placeholderSizes = true;
  options.placeholderLimit = static_cast<uint64_t>(capacity > 0 ? capacity : expected);
  if (mode != InflateMode::kSamples) {
    // The own reader inflates the archive's image in memory straight into the
    // buffer, so the archive never needs to reach the disk.
    plat::RemoveFile(txtPath);
    std::span<const uint8_t> image(zip.data(), zip.size() - 256);
    return InflateZipImage(*this, image, buffer, capacity, options);
  }
  if (!plat::WriteWholeFile(zipPath, std::string_view(reinterpret_cast<const char*>(zip.data()), zip.size()))) {
    WriteConvertFailure(ConvertStatus::Message(IDS_CANNOT_OPEN));
    return ArchiveStatus::Fail();
  }
  plat::RemoveFile(txtPath);
  const ArchiveStatus result = ExtractZipToFolder(*this, zipPath, tmp, options);
  plat::RemoveFile(zipPath);
  if (!result.ok()) return result;
  plat::File file;
  if (!file.Open(txtPath, plat::File::Mode::Read)) return ArchiveStatus::Fail();
  int64_t size = file.GetLength();
  int64_t take = std::min<int64_t>(size, capacity);
  if (take > 0 && file.Read(buffer, take) != take) return ArchiveStatus::Fail();
  return ArchiveStatus::Done(size);
}
