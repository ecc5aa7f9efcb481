// The rich-edit control's RTF reader on arbitrary bytes: whole and at a selection,
// then written back and read again; it must stay within bounds, keep one paragraph
// format per paragraph and read back the same characters (those outside CP932 too). A repeat mark (RepeatMark.h) grows an input up to
// 256 KiB.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "RepeatMark.h"
#include "platform/richedit/RichEdit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzzsupport::RepeatedInput input(data, size, size_t{1} << 18);
  const std::string_view rtf(reinterpret_cast<const char*>(input.data()), input.size());
  plat::RichEdit edit;
  edit.StreamInRtf(rtf, false);
  edit.ExSetSel(edit.GetTextLength() / 2, edit.GetTextLength() / 2);
  edit.StreamInRtf(rtf, true);
  const std::string out = edit.StreamOutRtf(false);
  plat::RichEdit again;
  again.StreamInRtf(out, false);
  if (again.Text() != edit.Text()) __builtin_trap();
  for (int cp = 0; cp < edit.GetTextLength(); ++cp) {
    if (again.UnicodeAt(cp) != edit.UnicodeAt(cp)) __builtin_trap();
  }
  edit.ExSetSel(0, -1);
  edit.GetCharFormat(true);
  edit.CharFromPos({10, 10});
  return 0;
}
