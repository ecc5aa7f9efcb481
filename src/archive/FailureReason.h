// Why an archive, or one of its members, was not written or read: the reason that
// goes beside the codec's three-digit code in every failure message, so that a full
// disk, a read-only folder, a link in the way and a bad name no longer read alike.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ops/ArchiveStatus.h"

namespace codec {
class CodecError;
}

// Causes that lie in the target rather than in the archive's data.
enum class WriteTrouble { LinkInTheWay, FolderInTheWay, FileInTheWay, BadName, NotShiftJis, Special };

// The reason texts (CP932).
std::string TroubleReason(WriteTrouble trouble);
// What a code of the archive's own data says.
std::string ReasonOfCode(std::string_view code);
// The reason of a failed system call by its error number.
std::string ErrnoReason(int error);
// "code reason": the error's own reason, else the one its code stands for.
std::string CodeWithReason(const codec::CodecError& error);
std::string CodeWithReason(const char* code, const std::string& reason = "");
// Why members declaring total bytes in all, the largest of them largest bytes, cannot
// be unpacked below folder ("026 reason (sizes)"): more than the free space there, or
// one file past the process's file-size limit. nullopt when they fit.
std::optional<std::string> NoRoomReason(uint64_t total, uint64_t largest, std::string_view folder);

// What a road that finished left out: links and special files a pack did not store,
// members an unpack did not write.
enum class Loss { NotStored, NotUnpacked };
// The status of a road that finished over archive: done, or, when count things were
// left out, warned, said once at the end with the archive's name and the count (each
// thing left out was named where it was met).
ArchiveStatus FinishedLeavingOut(const std::string& archive, size_t count, Loss loss);

// Runs a call of the codec (or of a sink it writes through); a CodecError it throws
// becomes a failed status with the error's code and its "code reason" text. The one
// place where the archive roads turn a codec exception into a status.
ArchiveStatus RunCodec(const std::function<void()>& call);
