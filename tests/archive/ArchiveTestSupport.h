// Helpers of the archive tests: those of the codec's tests (zlib as the reference
// codec, byte strings, hand-built archives) and a run of the program as a user starts it.
#pragma once

#include <string>

#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "ops/SourceMode.h"
#include "codec/CodecTestSupport.h"
#include "support/TestFiles.h"

namespace archtest {

// A run of the program on a script as a user starts it, with its program folder in
// dir; without programs PATH holds none of the outside archivers; prefix goes in
// front of the command (a small disk's limit); program is the binary run.
struct UserRun {
  int status = -1;
  std::string out;
};
inline UserRun RunUserScript(const testenv::TempDir& dir, const std::string& script, bool withPrograms,
                             const std::string& prefix = "", const std::string& program = PELNORIX_BINARY) {
  testenv::WriteHostFile(dir.HostPath("script"), script);
  UserRun run;
  run.out = testenv::Shell(prefix + "env PELNORIX_HOME=" + Q(dir.HostPath("home")) +
                               (withPrograms ? "" : " PATH=/nonexistent") + " " + Q(program) + " --script " +
                               Q(dir.HostPath("script")) + " 2>&1",
                           &run.status);
  return run;
}

}  // namespace archtest
