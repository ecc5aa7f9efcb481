// The document's HTML and spreadsheet-XML converters.
#include "app/QelDoc.h"
#include "convert/markup/MarkupConverter.h"

namespace {

int Convert(CQelDoc& doc, MarkupDialect dialect, int bTableRules, int64_t rawLen) {
  doc.WriteConvertFailure(MarkupConverter(doc, dialect, bTableRules, rawLen).Run());
  return doc.m_nConvPos;
}

}  // namespace

int CQelDoc::ConvertHtmlToText(int bTableRules, int64_t rawLen) {
  return Convert(*this, MarkupDialect::Html, bTableRules, rawLen);
}

int CQelDoc::ConvertXmlSheetToText(int bTableRules, int64_t rawLen) {
  return Convert(*this, MarkupDialect::SheetXml, bTableRules, rawLen);
}
