// What the word-processing and presentation converters share: the package
// unpacked for display text, the picture names of a relationships part and the
// output buffer grown for a layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ConvertStatus.h"

class CQelDoc;

namespace ooxml {

// Unpacks the package for a converter: nullopt when the parts are ready; else what
// the converter returns: Ok with the size message as the text for a package refused
// for its size, the failure "not a `kind` file" for one that is no ZIP archive.
std::optional<ConvertStatus> UnpackForText(CQelDoc& doc, const std::string& path, const char* kind);

// Ok when no part looked for so far was left out for its damaged data; else the
// document is damaged: its message replaces anything written.
ConvertStatus DamageFound(CQelDoc& doc);

// Picture names by relationship number (1 to count - 1) of a relationships part:
// the file name behind targetPattern ("media/", up to the first '"', '/' or '>').
std::vector<std::string> ReadPictureNames(std::string_view rels, std::string_view targetPattern, int count);

// m_pConvBuf holds at least bytes (grown through the allocation hook).
bool GrowConvOutput(CQelDoc& doc, int64_t bytes);

// "[name]" for a picture relationship below the table's size, else "[Image]".
std::string PictureLabel(const std::vector<std::string>& names, int number);

}  // namespace ooxml
