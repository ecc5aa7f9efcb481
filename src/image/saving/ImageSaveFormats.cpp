#include "image/saving/ImageSaveFormats.h"

#include <algorithm>
#include <iterator>

#include "app/QelDoc.h"
#include "base/AsciiCase.h"

namespace {

using Code = ImageSaveCode;
using Writer = ImageWriter;

constexpr ImageSaveFormat kFormats[] = {
    {Code::kBmp, ".bmp", kOwnDepth, false, Writer::kBmp, 0},
    {Code::kBmpTarget, ".bmp", kOwnDepth, false, Writer::kBmp, 0},
    {Code::kBmz, ".bmz", kOwnDepth, false, Writer::kBmz, 0},
    {Code::kPng, ".png", 24, true, Writer::kPng, 0},
    {Code::kJpegHigh, ".jpg", 24, false, Writer::kJpeg, 1},
    {Code::kJpegStandard, ".jpg", 24, false, Writer::kJpeg, 2},
    {Code::kJpegBest, ".jpg", 24, false, Writer::kJpeg, 3},
    {Code::kPng1, ".png", 1, false, Writer::kPng, 0},
    {Code::kPng4, ".png", 4, false, Writer::kPng, 0},
    {Code::kPng8, ".png", 8, false, Writer::kPng, 0},
    {Code::kPdfTarget, ".pdf", 24, false, Writer::kPdf, 2},
};

// The code each extension picks when a target's name decides the format.
constexpr Code kByExtension[] = {Code::kBmpTarget, Code::kBmz, Code::kPng, Code::kJpegStandard, Code::kPdfTarget};

}  // namespace

const ImageSaveFormat& SaveFormat(ImageSaveCode code) {
  const auto row = std::find_if(std::begin(kFormats), std::end(kFormats),
                                [code](const ImageSaveFormat& f) { return f.code == code; });
  // Every code has its row; the empty value (a ViewAction's without a save) is
  // written as a BMP, as the writers always took it.
  return row != std::end(kFormats) ? *row : kFormats[0];
}

int SaveCodeNumber(ImageSaveCode code) { return static_cast<int>(code); }

std::optional<ImageSaveCode> SaveCodeForTarget(const std::string& target) {
  std::string ext = AsciiLowerCopy(CQelDoc::GetPathPart(target, PathPart::kExtension));
  if (ext == "jpeg") ext = "jpg";
  for (const Code code : kByExtension) {
    if (SaveFormat(code).extension + 1 == ext) return code;
  }
  return std::nullopt;
}

ImageSaveCode PngCodeForDepth(int depth) {
  for (const ImageSaveFormat& f : kFormats) {
    if (f.writer == Writer::kPng && !f.keepsPalette && f.depth == depth) return f.code;
  }
  return Code::kPng;
}

ImageSaveCode JpegCodeForName(const std::string& target) {
  const std::string tail = AsciiLowerTail(target, 5);
  return tail == ".jpeg" ? Code::kJpegBest : Code::kJpegStandard;
}

std::string PdfWorkJpeg(const CQelDoc& doc) { return doc.TmpFolder() + "\\Pelnor1.jpg"; }
