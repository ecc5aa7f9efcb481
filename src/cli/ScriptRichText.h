// What scripts read of the rich text: the pane as RTF, its table dump and the
// clipboard's text; and where `caret LINE COL` puts the caret.
#pragma once

#include <string>

class CQelView;
class CMainFrame;

// "rtf", "table" or "clipboard"; CP932.
std::string RichSubject(CQelView& view, CMainFrame& frame, const std::string& what);
// The pane's text with CR LF line ends, as a plain text pane shows them (the rich
// text ends its paragraphs with a bare CR).
std::string PaneText(CQelView& view);
// The pane's position of line and column (both from 1; the column in characters,
// held to the line's end); -1 for no such line.
int CaretPosition(CQelView& view, int line, int column);
