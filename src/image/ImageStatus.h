// The format pane (indicator 104) of the status bar, where the image readers say
// what they read, the out-of-memory box of the image code with its place code, and
// the message of a picture cut at the image file volume; and the context through
// which the picture decoders reach them.
#pragma once

#include <cstdint>
#include <string>

class CQelDoc;
struct PictureContext;

void ShowImageFormat(const std::string& text);
void ShowImageOutOfMemory(const char* place);  // place: " 6nn"
// The file-size-over message (CP932) of a picture cut at the "bmpfile" volume,
// with a line that names the setting.
std::string ImageVolumeOverText(int64_t volume);
// A picture over the sizes held (CP932): refused because its rows would pass the
// largest block (kMaxDibBytes), which no setting raises; or shown cut at the
// picture memory volume ("bmpdata"), with the setting that raises it.
std::string ImageTooLargeText(int64_t bytes);
std::string ImageDataOverText(int64_t bytes, int64_t volume);
// A picture refused because its rows pass the picture memory volume, with the setting.
std::string ImageDataRefusedText(int64_t bytes, int64_t volume);
// The document's allocation hook, the box and format pane above, the own codec's
// inflater taking a PNG's rows as they come, and the record of a picture too large
// to hold.
PictureContext DocPictureContext(CQelDoc& doc);
