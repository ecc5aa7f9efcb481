#pragma once
// On the terminal the file-size-over message's "change the volume in the settings
// menu" has no menu to point at: this names the setting that raises the volume.
#include <ostream>
#include <string_view>

// Writes the hint to err when the CP932 text holds the file-size-over message (an
// image load names the image file volume, everything else the input volume), or the
// display-volume message of a text cut at the output volume (outdata).
void WriteVolumeHint(std::string_view text, bool image, std::ostream& err);
