// The document's HTML and spreadsheet-XML converters, roads of the dump.
#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/markup/MarkupConverter.h"

ConvertStatus CQelDoc::ConvertHtmlToText(DumpCall& call) {
  return MarkupConverter(*this, MarkupDialect::Html, call.bTableRules, Convert().m_nRawLen, call.settingRows).Run();
}

ConvertStatus CQelDoc::ConvertXmlSheetToText(DumpCall& call) {
  return MarkupConverter(*this, MarkupDialect::SheetXml, call.bTableRules, Convert().m_nRawLen, call.settingRows).Run();
}
