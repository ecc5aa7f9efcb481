// A picture file as an embedded paint object in RTF (CQelView::InsertBitmapObjectRtf),
// with the reason when it cannot be: the sheet writer notes a picture left out.
#pragma once

#include <string>

class CQelDoc;

namespace sheet {

// The picture at path as an embedded paint object at rtf + *pos (capacity bytes in
// all), of width x height times 3/2; *pos moves past it. 0, or -1 with nothing
// written and the reason in *why (when given).
int WriteBitmapObjectRtf(CQelDoc& doc, const std::string& path, char* rtf, int* pos, int capacity, int width, int height,
                         std::string* why);

}  // namespace sheet
