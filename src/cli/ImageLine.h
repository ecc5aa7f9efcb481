// Pictures on the terminal: the line the window's status bar would give of a
// loaded picture, and the batch conversion of one picture (--convert).
#pragma once

#include <iosfwd>
#include <string>

class CQelDoc;

// After a load of an image kind: prints "<format text>  <width> x <height>  <bits> bpp"
// and returns 0, or writes the load's message to err and returns 1.
int ShowImageLine(CQelDoc& doc, std::ostream& out, std::ostream& err);

// Converts the picture at source (Windows path) to the host path target; the exit
// status: 0 converted, 1 not, 2 a target format that is not known.
int RunImageConversion(CQelDoc& doc, const std::string& source, const std::string& target, std::ostream& err);
