// Page marks in saved RTF: the sheet builder writes " ~~" where a page ends; the save
// turns each mark followed by a paragraph end into a real page break.
#pragma once

#include <string>
#include <string_view>

// Rewrites the marks of an RTF text: a mark followed within 40 bytes by "\page" only
// has its last '~' become '`'; one followed by "\par" becomes "~`", the bytes between
// stay, and "\par" becomes "\page" ("\pard" becomes "\page\pard", keeping the
// paragraph's reset). A NUL ends the scan; the rest is kept as it is.
std::string FixRtfPageMarksText(std::string_view rtf);

// The file form is CQelView::FixRtfPageMarks.
