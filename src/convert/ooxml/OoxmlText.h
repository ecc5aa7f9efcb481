// What the word-processing and presentation converters share: the package
// unpacked for display text, the picture names of a relationships part and the
// output buffer grown for a layout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CQelDoc;

namespace ooxml {

// Unpacks the package for a converter: true when the parts are ready; false when the
// text is already made (none for a package that cannot be opened or read, the
// size message for one refused for its size).
bool UnpackForText(CQelDoc& doc, const std::string& path);

// Picture names by relationship number (1 to count - 1) of a relationships part:
// the file name behind targetPattern ("media/", up to the first '"', '/' or '>').
std::vector<std::string> ReadPictureNames(std::string_view rels, std::string_view targetPattern, int count);

// m_pConvBuf holds at least bytes (grown through the allocation hook).
bool GrowConvOutput(CQelDoc& doc, int64_t bytes);

// "[name]" for a picture relationship below the table's size, else "[Image]".
std::string PictureLabel(const std::vector<std::string>& names, int number);

}  // namespace ooxml
