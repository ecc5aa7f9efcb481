// Which reader takes an image kind: a plug-in ("NAME.SPI") from the program folder
// when there is one, else the built-in decoder that stands in for its name, else the
// view (metafiles); a registered kind without a plug-in has none.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "image/codecs/Dib.h"

class CQelDoc;

// A built-in decoder in one form: file bytes in, the DocImage's block and header out.
using ImageDecoder = int (*)(CQelDoc& doc, const uint8_t* file, int length, BITMAPINFO* out, const std::string& path);

struct ImageRoad {
  enum class By { Decoder, Plugin, Metafile, Missing };
  By by = By::Missing;
  ImageDecoder decode = nullptr;  // By::Decoder
  std::string library;            // By::Plugin: the plug-in's Windows path
};

// The road of a kind that is not BMP (kind above kKindBmp); option > 0 keeps JPEG
// files on the own decoder, which gives the colour phases.
ImageRoad ChooseImageRoad(int kind, int option, const std::string& programDir,
                          const std::array<std::string, 5>& userExtensions);
// The road of BMP files.
ImageRoad BmpImageRoad();
