// One fuzz input loaded as a file, as a user would open it: the bytes are written
// under the given name in a private program folder (removed afterwards), a frame
// and a document are made, `configure` sets the document's volumes and forms, and
// the document loads the file.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "platform/Files.h"

template <class Configure>
void LoadFuzzFile(std::string_view name, std::string_view bytes, Configure configure) {
  std::string folder = (std::filesystem::temp_directory_path() / "pelnorix-fuzz-XXXXXX").string();
  if (!mkdtemp(folder.data())) return;
  const std::string host = folder + "/" + std::string(name);
  {
    std::ofstream out(host, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  {
    CMainFrame frame;
    CQelDoc doc(plat::FromHostPath(folder));
    configure(doc);
    doc.LoadDocument(plat::FromHostPath(host), 0);
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}
