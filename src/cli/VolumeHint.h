#pragma once
// On the terminal the file-size-over message's "change the volume in the settings
// menu" has no menu to point at: this names the setting that raises the volume.
#include <ostream>

#include "app/DocState.h"

// Writes the hint for the volume the load road says cut its text (none: nothing):
// the setting that raises it, or that the package cap has none.
void WriteVolumeHint(VolumeCut cut, std::ostream& err);
