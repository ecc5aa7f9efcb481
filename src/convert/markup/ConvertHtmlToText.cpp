// The document's HTML and spreadsheet-XML converters.
#include "app/QelDoc.h"
#include "convert/markup/MarkupConverter.h"

int CQelDoc::ConvertHtmlToText(int bTableRules, int64_t rawLen) {
  return MarkupConverter(*this, MarkupDialect::Html, bTableRules, rawLen).Run();
}

int CQelDoc::ConvertXmlSheetToText(int bTableRules, int64_t rawLen) {
  return MarkupConverter(*this, MarkupDialect::SheetXml, bTableRules, rawLen).Run();
}
