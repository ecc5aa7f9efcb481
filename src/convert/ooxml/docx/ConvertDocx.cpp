// Office Open XML word-processing document (.docx) to display text. The package is
// unpacked into the work folder; the picture relationships name the picture labels;
// the section properties at the document part's end give the page geometry; the
// document part is laid out on a character canvas (DocxLayout) sized from the
// part's length, and the used rows of the canvas become the text. A part that
// cannot be read leaves its share out: without the document part the text is the
// message that says so.
#include <algorithm>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "convert/dump/DumpCall.h"
#include "convert/ooxml/docx/DocxLayout.h"
#include "convert/ooxml/OoxmlText.h"
#include "convert/ooxml/XmlPart.h"
#include "platform/os/Files.h"

namespace {

constexpr int kPictureSlots = 150;
constexpr int kGeometryTail = 500;
constexpr int64_t kCanvasMinimum = 100000;
constexpr int64_t kCanvasSlack = 1000;
constexpr int64_t kCanvasRowBytes = 512;  // the canvas is sized as rows of 510 columns and CR LF

// The page geometry from the section properties near the part's end.
DocxPage ReadPage(std::string_view part) {
  int top = 0, right = 0, width = 0, columns = 0;
  int p = std::max(0, static_cast<int>(part.size()) - kGeometryTail);
  while (p < static_cast<int>(part.size()) && !(top && right && width && columns)) {
    const size_t lt = part.find('<', static_cast<size_t>(p));
    if (lt == std::string_view::npos) break;
    int at = static_cast<int>(lt) + 1;
    const std::string_view tag = part.substr(lt);
    if (tag.starts_with("<w:pgMar ")) {
      int q = at;
      top = XmlFindInElement("w:top=\"", part, &q, kXmlNumber);
      q = at;
      right = XmlFindInElement("w:right=\"", part, &q, kXmlNumber);
    } else if (tag.starts_with("<w:pgSz ")) {
      width = XmlFindInElement("w:w=\"", part, &at, kXmlNumber);
    } else if (tag.starts_with("<w:cols ")) {
      columns = XmlFindInElement("w:num=\"", part, &at, kXmlNumber);
    }
    p = static_cast<int>(lt) + 1;
  }
  DocxPage page;
  page.topOffset = std::clamp(top / 300, 0, 100) + 5;
  page.marginOffset = std::clamp(right / 300, 0, 100) + 5;
  page.lineWidth = width / 100 - 10;
  if (page.lineWidth <= 0) page.lineWidth = 110;
  if (columns > 1) page.lineWidth /= columns;
  page.lineWidth = std::clamp(page.lineWidth, 10, DocxLayout::kMaxColumn);
  return page;
}

}  // namespace

ConvertStatus CQelDoc::ConvertDocx(DumpCall& call) {
  if (const auto done = ooxml::UnpackForText(*this, call.path, "Word")) return *done;
  m_nConvPos = 0;

  std::vector<std::string> pictures;
  if (PackageHasFolder("word\\media")) {
    const int n = LoadPackagePart("word\\_rels\\document.xml.rels");
    if (n > 0) pictures = ooxml::ReadPictureNames(std::string_view(m_pText, n), "image\" Target=\"media/", kPictureSlots);
  }
  if (pictures.empty()) pictures.resize(kPictureSlots);

  ConvertStatus failure;
  const int length = LoadPackagePart("word\\document.xml", &failure);
  if (!failure.ok()) {
    const ConvertStatus damaged = ooxml::DamageFound(*this);
    return damaged.ok() ? failure : damaged;
  }
  const std::string_view part(m_pText, static_cast<size_t>(length));

  DocxCanvas canvas;
  const int64_t wanted = std::max<int64_t>(int64_t{3} * length, kCanvasMinimum) + kCanvasSlack;
  if (!canvas.Reserve(wanted / kCanvasRowBytes, &m_allocHook)) return ConvertStatus::OutOfMemory(" 021");

  DocxLayout layout(part, canvas, ReadPage(part), pictures, m_bVerticalRules == 1);
  layout.Run();
  if (layout.Cut()) m_bPartialLoad = 1;

  // The used rows, each cut to the largest column + 5 and ended by CR LF.
  const int lastRow = layout.LastRow();
  const int width = std::min(layout.LastColumn() + 5, DocxLayout::kColumns);
  const int64_t need = (static_cast<int64_t>(lastRow) + 5) * (width + 7) + 1000;
  if (!ooxml::GrowConvOutput(*this, need)) return ConvertStatus::OutOfMemory(" 022");
  DisplayWriter out = ConvWriter();
  out.SetPos(0);
  for (int r = 0; r <= lastRow; ++r) {
    canvas.AppendRow(r, width, out);
    out.Append("\r\n");
  }
  out.Terminate();
  return ConvertStatus::Ok();
}
