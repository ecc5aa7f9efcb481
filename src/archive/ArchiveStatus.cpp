#include "archive/ArchiveStatus.h"

#include "archive/FailureReason.h"
#include "codec/CodecError.h"

ArchiveStatus RunCodec(const std::function<void()>& call) {
  try {
    call();
    return ArchiveStatus::Done();
  } catch (const codec::CodecError& e) {
    ArchiveStatus s = ArchiveStatus::Fail();
    s.codecCode = e.Code();
    s.reason = CodeWithReason(e);
    return s;
  }
}
