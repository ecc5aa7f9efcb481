// The tag that marks a picture's place in the PDF text: "[Im12]", "[Image12]" for a
// wide picture on an empty cell, "[Imb12]" to "[Imh12]" for a turned or mirrored one,
// with the filter behind it ("[Im12]JPG").
#pragma once

#include <string>
#include <string_view>

std::string FormatPdfImageTag(int object, int orientation, int pageRotation, int wideBlank, int filter);

// The first tag in text: its object number and its letter ('a' for "[ImN]" and
// "[ImageN]", 'b' to 'h' for a turned or mirrored one); false without a tag.
bool ParsePdfImageTag(std::string_view text, int* object, char* letter);
