// The one-page PDF around a JPEG, and the frame size read from a JPEG's SOF.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

bool JpegFrameSize(std::span<const uint8_t> jpeg, int* width, int* height);
std::vector<uint8_t> BuildImagePdf(std::span<const uint8_t> jpeg, int width, int height);
