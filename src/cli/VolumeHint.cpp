#include "cli/VolumeHint.h"

#include "app/QelDoc.h"

namespace {

void NameSetting(const char* what, const char* key, std::ostream& err) {
  err << "pelnorix: the " << what << " volume; --set " << key << "=MB (set " << key << "=MB in a script, " << key
      << "=MB in Pelnor.inf) raises it\n";
}

}  // namespace

void WriteVolumeHint(VolumeCut cut, std::ostream& err) {
  switch (cut) {
    case VolumeCut::kNone: return;
    case VolumeCut::kInput: return NameSetting("file is over the input", "indata", err);
    case VolumeCut::kImageFile: return NameSetting("file or its decoded picture is over the image file", "bmpfile", err);
    case VolumeCut::kOutput: return NameSetting("text is over the output", "outdata", err);
    case VolumeCut::kPackageCap:
      err << "pelnorix: an Office package is read up to " << (CQelDoc::kPackageByteCap >> 20) << " MB unpacked and "
          << CQelDoc::kPackageMemberCap << " parts; no setting raises that cap\n";
      return;
  }
}
