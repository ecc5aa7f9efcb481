#include "archive/ArchiveInit.h"

#include "platform/os/Process.h"

void InitArchiveState(ArchiveState& state) {
  state.m_strZipProgram = plat::FindProgram("zip");
  std::string program = plat::FindProgram("unzip");
  if (program.empty()) {
    state.m_pfnUnZip = nullptr;
    return;
  }
  state.m_pfnUnZip = [program](const std::vector<std::string>& args) { return plat::RunProgram(program, args).exitCode; };
}
