// One status for every archive road: what came of an operation, and for a failure of
// the codec its code and the reason the program shows for it. A failure is said to
// the user where it happens (a message box, or a note per member); the status tells
// the caller what happened, so that "done" and "nothing to pack" no longer read alike.
#pragma once

#include <cstdint>
#include <string>

enum class ArchiveCode : int {
  kDone,           // the work was done
  kWarned,         // the work was done with a loss the user was told of (files or members left out)
  kNothingToPack,  // the sources held nothing to store: no archive was made
  kFailed,         // it failed, and was said
  kNoKey,          // a key is needed and none is set: nothing was written
  kSizeOver,       // the output passed the room it was given
  kOutOfMemory,    // an allocation failed (said with its place code)
};

struct ArchiveStatus {
  ArchiveCode code = ArchiveCode::kDone;
  std::string codecCode;            // the codec's three-digit code when the codec failed
  std::string reason;               // that failure as the program shows it: "code reason" (CP932)
  int64_t produced = 0;             // bytes produced by an extraction or inflation in memory
  std::string path;                 // the file the operation made (an expanded copy), or the name it gave
  bool keyAsked = false;            // the key code was asked for in this call

  static ArchiveStatus Done(int64_t produced = 0) {
    ArchiveStatus s;
    s.produced = produced;
    return s;
  }
  static ArchiveStatus Fail(ArchiveCode code = ArchiveCode::kFailed) {
    ArchiveStatus s;
    s.code = code;
    return s;
  }
  // A warning is a success: the road finished, and what it left out was said.
  bool ok() const { return code == ArchiveCode::kDone || code == ArchiveCode::kWarned; }
  bool warned() const { return code == ArchiveCode::kWarned; }
  // Done becomes warned when loss is true.
  ArchiveStatus& WarnIf(bool loss) {
    if (loss && code == ArchiveCode::kDone) code = ArchiveCode::kWarned;
    return *this;
  }
  // The codec's code of this failure is code.
  bool IsCodec(const char* code) const { return codecCode == code; }
};
