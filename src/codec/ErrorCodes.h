// Every code the codec raises, by name: the three-digit texts a failed extraction
// shows. The codes of the system's table keep their numbers; the faults the codec
// detects beyond that table (instead of hanging, overrunning or succeeding silently)
// take numbers the table never used. A throw site names its code, never a number.
#pragma once

namespace codec::err {

// Deflate stream.
inline constexpr const char* kStoredLength = "013";      // stored block: LEN and NLEN disagree (low byte)
inline constexpr const char* kStoredLengthHigh = "014";  // stored block: LEN and NLEN disagree (high byte)
inline constexpr const char* kBlockType = "015";         // block type 3
inline constexpr const char* kCodeTooLong = "019";       // a code length above 15
inline constexpr const char* kOverSubscribed = "020";    // more codes than the bit patterns hold
inline constexpr const char* kBadCode = "025";           // bits that match no code
inline constexpr const char* kBadLengthSymbol = "036";   // length symbol 286 or 287
inline constexpr const char* kBadDistanceSymbol = "040"; // distance symbol 30 or 31
inline constexpr const char* kRepeatFirst = "027";       // repeat code with no previous length
inline constexpr const char* kTooManyLengths = "030";    // code lengths run past HLIT + HDIST
inline constexpr const char* kHlitHdist = "041";         // HLIT above 286 or HDIST above 30
inline constexpr const char* kDistanceTooFar = "042";    // distance beyond the bytes produced
inline constexpr const char* kInputEnded = "044";        // Deflate input ended before the final block
inline constexpr const char* kNoEndOfBlock = "058";      // literal/length code without end-of-block

// Output.
inline constexpr const char* kWrite = "026";  // a member's bytes could not be read or written

// ZIP records.
inline constexpr const char* kLocalNameBeyond = "028";   // local header's name and extra field past the archive
inline constexpr const char* kLocalHeaderBeyond = "029"; // local header past the archive
inline constexpr const char* kLocalSignature = "031";    // no local header signature
inline constexpr const char* kCentralSignature = "032";  // no central directory signature
inline constexpr const char* kCrcMismatch = "045";       // member CRC-32 differs from its header
inline constexpr const char* kSizeMismatch = "050";      // member size differs from its header
inline constexpr const char* kDescriptor = "052";        // data descriptor that cannot be read
inline constexpr const char* kEncrypted = "053";         // encrypted member
inline constexpr const char* kDirectory = "054";         // central directory or offsets inconsistent
inline constexpr const char* kTooLarge = "055";          // member or archive of 4 GiB or more
inline constexpr const char* kOverlap = "051";           // members whose data overlap (a ZIP bomb)

// LZH ("-lh5-") stream and headers.
inline constexpr const char* kLzhZeroRun = "043";        // literal lengths: a zero run past the table
inline constexpr const char* kLzhCodeTooLong = "046";    // a code length above 16
inline constexpr const char* kLzhBitCount = "048";       // more than 32 bits asked at once
inline constexpr const char* kLzhNegativeBits = "049";   // a negative bit count
inline constexpr const char* kLzhCrc = "056";            // member CRC-16 differs
inline constexpr const char* kLzhInputEnded = "057";     // LZH data ended before the member
inline constexpr const char* kLzhExtHeader = "059";      // extended header size that lies
inline constexpr const char* kLzhHeader = "060";         // header or data past the archive
inline constexpr const char* kLzhLevel = "061";          // header level above 2
inline constexpr const char* kLzhOverSubscribed = "062"; // more codes than the bit patterns hold
inline constexpr const char* kLzhBadCode = "064";        // bits that match no code of an incomplete table
inline constexpr const char* kLzhSingleSymbol = "067";   // the one symbol of a table outside it
inline constexpr const char* kLzhTableCount = "068";     // a table count above its symbols
inline constexpr const char* kLzhSkipRun = "069";        // short table: zero lengths past the table
inline constexpr const char* kLzhMethod = "083";         // a method the own reader does not decode


// Packing.
inline constexpr const char* kArchiveOpen = "025";      // the archive cannot be created
inline constexpr const char* kReadFailed = "026";       // a member file cannot be opened or read
inline constexpr const char* kWriteFailed = "059";      // the archive cannot be written (disk full, ...)

}  // namespace codec::err
