#include "cli/VolumeHint.h"

#include <string>

#include "app/StringTable.h"

void WriteVolumeHint(std::string_view text, bool image, std::ostream& err) {
  const std::string message = LoadString(IDS_FILE_SIZE_OVER);
  const std::string_view head = std::string_view(message).substr(0, message.find('('));
  if (!head.empty() && text.find(head) != std::string_view::npos) {
    const char* key = image ? "bmpfile" : "indata";
    err << "pelnorix: the file is over the " << (image ? "image file" : "input") << " volume; --set " << key
        << "=MB (or " << key << "=MB in Pelnor.inf) raises it\n";
    return;
  }
  // A text cut at the output volume says so with the display-volume message.
  const std::string output = LoadString(IDS_DISPLAY_VOLUME_OVER);
  if (!image && !output.empty() && text.find(output) != std::string_view::npos) {
    err << "pelnorix: the text is over the output volume; --set outdata=MB (or outdata=MB in Pelnor.inf) raises it\n";
  }
}
