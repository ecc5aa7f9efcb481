// ImageSaveCode: the format code of the image writers (CQelDoc::SaveDib).
#pragma once

#include <string>

enum ImageSaveCode : int {
  kSaveBmp = 1,             // 1 to 3: BMP at the image's own depth
  kSaveBmpTarget = 3,       // the view's temporary save and a ".bmp" target
  kSaveBmz = 4,             // a ZIP archive holding one BMP
  kSavePng = 5,             // PNG at 24 bits, or the image's depth below that
  kSaveJpegHigh = 6,        // JPEG: high compression
  kSaveJpegStandard = 7,    //       standard (also inside a PDF)
  kSaveJpegBest = 8,        //       high quality
  kSavePng1 = 9,            // PNG at 1, 4 and 8 bits
  kSavePng4 = 10,
  kSavePng8 = 11,
  kSavePdfTarget = 100,     // not a writer's code: a JPEG (7) wrapped by the PDF writer
};

// The code the save commands take for a target's extension; 0 for an unknown one.
int SaveCodeForTarget(const std::string& target);
