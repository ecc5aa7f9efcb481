// The Office Open XML part readers: the first byte picks the reader and its
// settings, the rest is a part's bytes. They go through the UTF-8 conversion and
// then the word-processing layout, the presentation pages (master, layout and
// slide readers), the workbook drawing reader (the part as its relations, legacy
// drawing and drawing) or the attribute searches. Every write must stay in its buffer.
#include <cstddef>
#include <cstdint>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/ooxml/docx/DocxLayout.h"
#include "convert/ooxml/pptx/PptxSlides.h"
#include "convert/ooxml/xlsx/XlsxDrawing.h"
#include "convert/ooxml/XmlPart.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  // Exactly the converted bytes, so that a read past the part's end is seen.
  std::vector<char> converted(size);
  converted.resize(XmlBytesToSjis(data + 1, size - 1, converted.data()));
  if (converted.size() > size - 1) std::abort();
  const std::string part(converted.begin(), converted.end());
  const bool rules = options & 1;
  switch (options >> 1 & 3) {
    case 0: {
      DocxCanvas canvas;
      if (!canvas.Reserve(200, nullptr)) return 0;
      std::vector<std::string> pictures(150, "p.png");
      DocxLayout layout(part, canvas, DocxPage{}, pictures, rules);
      layout.Run();
      if (layout.LastRow() >= DocxCanvas::kMaxRows) std::abort();
      if (layout.LastColumn() >= DocxLayout::kColumns) std::abort();
      break;
    }
    case 1: {
      std::vector<char> buffer(PptxSlides::kAreaBytes * 3 + 1000);
      PptxSlides slides(buffer.data(), static_cast<int>(buffer.size()), rules);
      slides.ReadMaster(part);
      slides.ReadLayout(part);
      slides.Slide(1, part, std::vector<std::string>(PptxSlides::kPictures, "p.png"));
      slides.Slide(2, part, std::vector<std::string>(PptxSlides::kPictures));
      const int length = slides.Finish();
      if (length < 0 || length >= static_cast<int>(buffer.size())) std::abort();
      break;
    }
    case 3: {
      XlsxDrawing drawing;
      drawing.ReadRelations(part, false);
      drawing.ReadRelations(part, true);
      drawing.ReadLegacy(part);
      std::array<unsigned char, 256> widths;
      widths.fill(static_cast<unsigned char>(size));
      XlsxDrawing::Settings settings;
      settings.widths = &widths;
      settings.pictureLabels = rules;
      settings.charLimit = 40;
      settings.room = 150;
      const std::vector<XlsxDrawing::Object> objects = drawing.Read(part, settings);
      if (objects.size() > settings.room) std::abort();
      for (const auto& object : objects) {
        if (object.text.size() >= settings.charLimit) std::abort();
        if (object.row < 0 || object.column < 0) std::abort();
      }
      break;
    }
    default: {
      for (int mode : {0, 1, 2, 7, 8, 9, 10, 20, 27}) {
        for (int start = -1; start < static_cast<int>(part.size()) && start < 64; start += 7) {
          int pos = start;
          XmlFindInElement("w=\"", part, &pos, mode);
          if (pos < 0 || pos > static_cast<int>(part.size())) std::abort();
          pos = start;
          XlsxParseToken(part, &pos, mode % 3);
          if (pos < 0 || pos > static_cast<int>(part.size())) std::abort();
        }
      }
      break;
    }
  }
  return 0;
}
