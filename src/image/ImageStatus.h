// The format pane (indicator 104) of the status bar, where the image readers say
// what they read, and the out-of-memory box of the image code with its place code.
#pragma once

#include <string>

void ShowImageFormat(const std::string& text);
void ShowImageOutOfMemory(const char* place);  // place: " 6nn"
