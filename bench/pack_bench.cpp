// Packs a folder tree into a ZIP archive with the own writer (CQelDoc::WriteArchive,
// the road the compress command takes when no zip program serves) and prints the
// time it took in milliseconds.
#include <chrono>
#include <cstdio>
#include <string>

#include "app/QelDoc.h"
#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: pack_bench PROGRAM_FOLDER TREE ARCHIVE\n");
    return 2;
  }
  CMainFrame frame;
  CQelDoc doc(plat::FromHostPath(argv[1]), &frame);
  const std::string tree = plat::FromHostPath(argv[2]);
  if (!plat::IsDirectory(tree)) return 1;
  const auto start = std::chrono::steady_clock::now();
  const ArchiveStatus result =
      doc.WriteArchive(PackMode::kZip, PackName::Given(plat::FromHostPath(argv[3])), {"*.*"}, PackMessages::kQuiet, tree);
  const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.1f\n", ms);
  return result.ok() ? 0 : 1;
}
