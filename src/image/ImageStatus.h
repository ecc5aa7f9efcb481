// The format pane (indicator 104) of the status bar, where the image readers say
// what they read, the out-of-memory box of the image code with its place code, and
// the message of a picture cut at the image file volume.
#pragma once

#include <cstdint>
#include <string>

void ShowImageFormat(const std::string& text);
void ShowImageOutOfMemory(const char* place);  // place: " 6nn"
// The file-size-over message (CP932) of a picture cut at the "bmpfile" volume,
// with a line that names the setting.
std::string ImageVolumeOverText(int64_t volume);
