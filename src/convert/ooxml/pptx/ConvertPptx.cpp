// Office Open XML presentation (.pptx) to display text: one 64-row page per slide,
// laid out by PptxSlides. The master gives the placeholder geometry; each slide's
// relationships give its picture names and its layout (whose subtitle and centred
// title geometry it uses); slides are read as slide1.xml, slide2.xml, ... up to the
// first that is missing. A part that cannot be read contributes nothing: a slide
// without its part keeps its banner.
#include <cstdio>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "convert/dump/DumpCall.h"
#include "convert/ooxml/OoxmlText.h"
#include "convert/ooxml/pptx/PptxSlides.h"

namespace {

constexpr int kMaxSlides = 199;

std::string Numbered(const char* format, int k) {
  char name[64];
  std::snprintf(name, sizeof name, format, k);
  return name;
}

// The layout part a slide's relationships name ("slideLayout2.xml"); "" when none.
std::string LayoutName(std::string_view rels) {
  constexpr std::string_view kTarget = "slideLayouts/";
  const size_t at = rels.find(kTarget);
  if (at == std::string_view::npos) return {};
  std::string name;
  for (size_t k = at + kTarget.size(); k < rels.size() && rels[k] != '"' && rels[k] != '/' && name.size() < 64; ++k)
    name += rels[k];
  return name;
}

}  // namespace

ConvertStatus CQelDoc::ConvertPptx(DumpCall& call) {
  if (const auto done = ooxml::UnpackForText(*this, call.path, "PowerPoint")) return *done;
  m_nConvPos = 0;
  int slides = 0;
  while (slides < kMaxSlides && PackageHasPart(Numbered("ppt\\slides\\slide%d.xml", slides + 1)))
    ++slides;
  // A slide left out for its damaged data ends the count: the presentation is damaged.
  if (const ConvertStatus damaged = ooxml::DamageFound(*this); !damaged.ok()) return damaged;
  if (!ooxml::GrowConvOutput(*this, int64_t{PptxSlides::kAreaBytes} * (slides + 1) + 1000))
    return ConvertStatus::OutOfMemory(" 020");
  PptxSlides layout(m_pConvBuf, m_nConvCap, m_bVerticalRules == 1);

  if (PackageHasFolder("ppt\\slideMasters")) {
    const int n = LoadPackagePart("ppt\\slideMasters\\slideMaster1.xml");
    if (n > 0) layout.ReadMaster(std::string_view(m_pText, static_cast<size_t>(n)));
  }
  const bool media = PackageHasFolder("ppt\\media");
  const bool layouts = PackageHasFolder("ppt\\slideLayouts");
  for (int k = 1; k <= slides; ++k) {
    std::vector<std::string> pictures(PptxSlides::kPictures);
    std::string layoutName = Numbered("slideLayout%d.xml", k);
    const int r = LoadPackagePart(Numbered("ppt\\slides\\_rels\\slide%d.xml.rels", k));
    if (r > 0) {
      const std::string_view rels(m_pText, static_cast<size_t>(r));
      if (media) pictures = ooxml::ReadPictureNames(rels, "Target=\"../media/", PptxSlides::kPictures);
      if (std::string named = LayoutName(rels); !named.empty()) layoutName = named;
    }
    if (layouts) {
      const int n = LoadPackagePart("ppt\\slideLayouts\\" + layoutName);
      if (n > 0) layout.ReadLayout(std::string_view(m_pText, static_cast<size_t>(n)));
    }
    const int n = LoadPackagePart(Numbered("ppt\\slides\\slide%d.xml", k));
    layout.Slide(k, n > 0 ? std::string_view(m_pText, static_cast<size_t>(n)) : std::string_view(), pictures);
  }
  m_nConvPos = layout.Finish();
  return ConvertStatus::Ok();
}
