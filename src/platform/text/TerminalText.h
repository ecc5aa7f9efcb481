// Text from a file or a page on its way to a terminal: a control character there
// would act on the terminal (ESC starts a sequence that sets the title, writes the
// clipboard or recolours the screen; BEL rings), so it is shown as less shows it and
// never written raw. A pipe or a file takes the bytes unchanged; this is only for a
// stream that is a terminal: the display text and every message on its way there.
#pragma once

#include <string>
#include <string_view>

namespace plat {

// The text with each control character but tab and newline shown in caret form
// (ESC as ^[, DEL as ^?); a CR before a newline stays, as a line end. In UTF-8 text
// a C1 control (U+0080 to U+009F) is shown as <U+009B>. A CP932 text has no
// control byte inside a double-byte character, so the same pass serves it.
std::string VisibleControls(std::string_view text, bool utf8);

}  // namespace plat
