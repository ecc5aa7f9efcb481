// The codes the codec raises beyond the original table, for faults it now detects
// instead of hanging, overrunning or succeeding silently. The original table of
// codes is kept as it was; these take numbers it never used.
#pragma once

namespace codec::err {

inline constexpr const char* kBadCode = "025";          // bits that match no code
inline constexpr const char* kRepeatFirst = "027";      // repeat code with no previous length
inline constexpr const char* kTooManyLengths = "030";   // code lengths run past HLIT + HDIST
inline constexpr const char* kHlitHdist = "041";        // HLIT above 286 or HDIST above 30
inline constexpr const char* kDistanceTooFar = "042";   // distance beyond the bytes produced
inline constexpr const char* kInputEnded = "044";       // Deflate input ended before the final block
inline constexpr const char* kCrcMismatch = "045";      // member CRC-32 differs from its header
inline constexpr const char* kSizeMismatch = "050";     // member size differs from its header
inline constexpr const char* kDescriptor = "052";       // data descriptor that cannot be read
inline constexpr const char* kEncrypted = "053";        // encrypted member
inline constexpr const char* kDirectory = "054";        // central directory or offsets inconsistent
inline constexpr const char* kTooLarge = "055";         // member or archive of 4 GiB or more
inline constexpr const char* kLzhCrc = "056";           // LZH member CRC-16 differs
inline constexpr const char* kLzhInputEnded = "057";    // LZH data ended before the member
inline constexpr const char* kNoEndOfBlock = "058";     // literal/length code without end-of-block


// Packing.
inline constexpr const char* kArchiveOpen = "025";      // the archive cannot be created
inline constexpr const char* kReadFailed = "026";       // a member file cannot be opened or read
inline constexpr const char* kWriteFailed = "059";      // the archive cannot be written (disk full, ...)

}  // namespace codec::err
