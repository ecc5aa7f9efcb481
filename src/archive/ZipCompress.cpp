// CQelDoc::ZipCompress: packs a file or a pattern (relative to the current folder)
// into a ZIP archive through the zip program when there is one, else with the own
// writer. The zip program stores names as the host spells them (UTF-8), where the
// own writer stores the Shift-JIS names the rest of the system reads; so names that
// are not plain ASCII always go to the own writer.
#include <optional>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "archive/FileSpec.h"
#include "frame/MainFrame.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

bool IsAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

int CQelDoc::ZipCompress(std::string zipName, std::string fileSpec, int ownCodec) {
  const std::vector<std::string> names = ExpandFileSpec(fileSpec);
  bool ascii = IsAscii(zipName);
  for (const std::string& n : names) ascii = ascii && IsAscii(n);
  if (ownCodec != 0 || m_strZipProgram.empty() || !ascii) return WriteArchive(1, 0, {zipName, fileSpec}, "", 0);

  if (names.empty()) return 0;
  std::string archive = zipName;
  if (archive.empty() || !(archive[0] == '\\' || (archive.size() >= 2 && archive[1] == ':')))
    archive = plat::GetCurrentDirectory() + "\\" + archive;
  std::optional<std::string> hostArchive = plat::ToHostPath(archive);
  std::optional<std::string> cwd = plat::ToHostPath(plat::GetCurrentDirectory());
  if (!hostArchive || !cwd) return 1;
  // The names are expanded here as Windows expands them: zip matches no wildcards.
  std::vector<std::string> args{"-q", "-9", "-r", "-nw", *hostArchive};
  for (const std::string& n : names) {
    std::optional<std::string> host = plat::ToHostPath(n);
    if (!host || host->empty()) return 1;
    args.push_back((*host)[0] == '-' ? "./" + *host : *host);
  }
  if (g_pMainFrame) g_pMainFrame->Ui().BeginWaitCursor();
  const plat::ProgramResult result = plat::RunProgram(m_strZipProgram, args, *cwd);
  if (g_pMainFrame) g_pMainFrame->Ui().EndWaitCursor();
  return result.exitCode == 0 ? 0 : 3;
}
