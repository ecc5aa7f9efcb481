#include "cli/ImageLine.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/ViewCodes.h"
#include "cli/CommandLine.h"
#include "cli/VolumeHint.h"
#include "frame/StatusBar.h"
#include "image/loading/MetafileImage.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"

int ShowImageLine(CQelDoc& doc, std::ostream& out, std::ostream& err) {
  // A metafile waits for a view to draw it; without one it is drawn here.
  if (!doc.LoadedImageFacts().held && doc.TakePendingMetafile()) {
    LoadMetafileDocImage(doc, doc.m_strPathName, nullptr, nullptr);
  }
  const CQelDoc::ImageFacts image = doc.LoadedImageFacts();
  if (image.loadState != 1 || !image.held) {
    const std::string_view text(doc.m_pText ? doc.m_pText : "", static_cast<size_t>(doc.m_nTextLen));
    err << "pelnorix: " << (text.empty() ? "this picture is shown only in the window" : plat::Cp932ToUtf8(text))
        << '\n';
    WriteVolumeHint(doc.m_volumeCut, err);
    return 1;
  }
  std::string format;
  if (g_pStatusBar) format = g_pStatusBar->GetPaneText(g_pStatusBar->CommandToIndex(ID_INDICATOR_FORMAT));
  out << plat::Cp932ToUtf8(format) << "  " << image.width << " x " << image.height << "  "
      << image.bitCount << " bpp\n";
  // Shown cut at the volume: the load road said so; here the setting is named.
  if (image.cut) WriteVolumeHint(VolumeCut::kImageFile, err);
  if (image.shortData) err << "pelnorix: the picture's data ends before its last row; the rest shows as zero\n";
  return 0;
}

int RunImageConversion(CQelDoc& doc, const std::string& source, const std::string& target, std::ostream& err) {
  // The picture is written under the name as written or not at all: a name Shift-JIS
  // cannot hold would become another ("caf?.png"), and a '\\' would read as a folder.
  const std::optional<std::string> out = WindowsPathOfArgument(target);
  if (!out) {
    err << "pelnorix: --convert " << target << ": " << WindowsNameRefusal(target) << "; nothing is written\n";
    return 1;
  }
  const int result = doc.ConvertImageFile(source, *out);
  if (result == 0) return 0;
  if (result == -5) {
    err << "pelnorix: --convert " << target << ": the format comes from the extension: .bmp .bmz .png .jpg .jpeg .pdf\n";
    return 2;
  }
  if (result == CQelDoc::kConvertRefusedName) {
    err << "pelnorix: " << target << " is not written\n";
    return 1;
  }
  if (result == -4) {
    err << "pelnorix: " << target << " could not be written\n";
    return 1;
  }
  // A source that does not open is named with the system's reason, not taken for a
  // damaged picture.
  plat::File probe;
  if (!probe.Open(source, plat::File::Mode::Read)) {
    err << "pelnorix: " << plat::Cp932ToUtf8(plat::ShownPath(source)) << ": " << std::strerror(errno) << '\n'
        << "pelnorix: " << target << " is not written\n";
    return 1;
  }
  // The load's own message, as the text pane would show it; the target is left as
  // it was.
  const std::string text = doc.ConvertImageFailureText(result);
  err << plat::Cp932ToUtf8(text) << '\n';
  if (result == -3) WriteVolumeHint(VolumeCut::kImageFile, err);
  err << "pelnorix: " << target << " is not written\n";
  return 1;
}
