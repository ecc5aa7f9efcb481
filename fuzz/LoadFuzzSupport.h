// One fuzz input loaded as a file, as a user would open it: the bytes are written
// under the given name in a private program folder, a frame and a document are made,
// `configure` sets the document's volumes and forms, and the document loads the
// file. The folder is made once per process (and removed at its exit): a run pays
// for its input, not for making and removing folders. The load removes its own work
// files; anything else a road left in the folder goes before the next run, so no
// run reads what an earlier one wrote.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "RunFolder.h"

namespace fuzzsupport {

// Removes what an earlier run left beside the program's own folder and in its TMP.
inline void ClearLeftovers(const std::string& folder, const std::string& keep) {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name == keep) continue;
    if (name == "TMP") {
      if (!std::filesystem::is_empty(e.path(), ec)) ClearLeftovers(e.path().string(), "");
      continue;
    }
    std::filesystem::remove_all(e.path(), ec);
  }
}

}  // namespace fuzzsupport

template <class Configure>
void LoadFuzzFile(std::string_view name, std::string_view bytes, Configure configure) {
  const std::string& folder = fuzzsupport::RunFolder();
  if (folder.empty()) return;
  fuzzsupport::ClearLeftovers(folder, "");
  const std::string host = folder + "/" + std::string(name);
  {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  {
    CMainFrame frame;
    CQelDoc doc(plat::FromHostPath(folder), &frame);
    configure(doc);
    doc.LoadDocument(plat::FromHostPath(host));
  }
}
