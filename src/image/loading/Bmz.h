// Packing a BMP file image as the one member of a BMZ archive.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

bool PackBmz(std::span<const uint8_t> bmpFile, std::vector<uint8_t>& archive);
