#include "cli/ScriptRichText.h"

#include "frame/MainFrame.h"
#include "richtext/table/TableDump.h"
#include "view/QelView.h"

std::string RichSubject(CQelView& view, CMainFrame& frame, const std::string& what) {
  if (what == "clipboard") return frame.Ui().GetClipboard().GetData(plat::CF_TEXT);
  if (what == "table") {
    if (plat::RichEdit* rich = view.Rich()) return DumpTableParagraphs(*rich);
    return "";
  }
  if (plat::RichEdit* rich = view.Rich()) return rich->StreamOutRtf(false);
  plat::RichEdit plain;
  plain.SetText(view.Text().GetText());
  return plain.StreamOutRtf(false);
}

std::string PaneText(CQelView& view) {
  const std::string& text = view.Text().GetText();
  if (!view.Rich()) return text;
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    out += c;
    if (c == '\r') out += '\n';
  }
  return out;
}

int CaretPosition(CQelView& view, int line, int column) {
  const TextModel& text = view.Text();
  const int start = text.LineIndex(line - 1);
  if (start < 0) return -1;
  const int end = start + text.LineLength(line - 1);
  int pos = start;
  for (int c = 1; c < column && pos < end; ++c) pos += SjisCharSize(text.GetText(), static_cast<size_t>(pos));
  return std::min(pos, end);
}
