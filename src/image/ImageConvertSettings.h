// ImageConvertSettings: the fifty-field block that describes how an image is shown
// (zoom, rotation, fit, mirror, tone, colour, invert, region scope). One copy lives
// in the document, one in each text pane.
#pragma once

#include <array>

struct ImageConvertSettings {
  std::array<int, 50> m_anValue{};
};
