// The image save formats: one row per ImageSaveCode says what the code writes, its
// default extension, the depth it writes at and which writer writes it. Every road
// that picks or reads a save code reads it here; nowhere else is a code a number.
//
// A save returns its result as a ConvertStatus: success, or the failure with the id
// of the message the road has already shown (or one of the two ids below).
#pragma once

#include <optional>
#include <string>

#include "base/ConvertStatus.h"

class CQelDoc;

enum class ImageSaveCode : int {
  kBmp = 1,             // BMP at the image's own depth, in the target's format when it names one
  kBmpTarget = 3,       // BMP: the view's temporary save and a ".bmp" target
  kBmz = 4,             // a ZIP archive holding one BMP
  kPng = 5,             // PNG at 24 bits, a palette image at its own depth
  kJpegHigh = 6,        // JPEG: high compression
  kJpegStandard = 7,    //       standard (also inside a PDF)
  kJpegBest = 8,        //       high quality
  kPng1 = 9,            // PNG at 1, 4 and 8 bits
  kPng4 = 10,
  kPng8 = 11,
  kPdfTarget = 100,     // a standard JPEG wrapped by the PDF writer
};

enum class ImageWriter : unsigned char { kBmp, kBmz, kPng, kJpeg, kPdf };

inline constexpr int kOwnDepth = 0;  // the depth column: the picture's own

struct ImageSaveFormat {
  ImageSaveCode code;
  const char* extension;  // the default extension, with its dot
  int depth;              // bits per pixel written, or kOwnDepth
  bool keepsPalette;      // a picture of 8 bits or fewer keeps its own depth
  ImageWriter writer;
  int jpegLevel;          // the JPEG writer's level: 1 high compression, 2 standard, 3 high quality
};

// The row of a code.
const ImageSaveFormat& SaveFormat(ImageSaveCode code);
// The code's number, as messages name it.
int SaveCodeNumber(ImageSaveCode code);
// The code a target is saved with when its extension decides (bmp, bmz, png, jpg or
// jpeg as the standard JPEG, pdf); none for another extension.
std::optional<ImageSaveCode> SaveCodeForTarget(const std::string& target);
// The PNG code of a picture's depth: 1, 4 and 8 bits keep theirs, any other is 24 bits.
ImageSaveCode PngCodeForDepth(int depth);
// The JPEG level a name picks: ".jpeg" the high quality, any other the standard.
ImageSaveCode JpegCodeForName(const std::string& target);

// The work file a PDF save writes its JPEG to before wrapping it.
std::string PdfWorkJpeg(const CQelDoc& doc);

// The failures that name no message of the string table: the user cancelled (a
// dialog, the overwrite question), or nothing was written and any reason was shown
// in the road's own words. Never turned into text: the roads show their messages.
inline constexpr int kSaveCancelled = -1;
inline constexpr int kSaveNotWritten = -2;
inline ConvertStatus SaveCancelled() { return ConvertStatus::Message(kSaveCancelled); }
inline ConvertStatus SaveNotWritten() { return ConvertStatus::Message(kSaveNotWritten); }
