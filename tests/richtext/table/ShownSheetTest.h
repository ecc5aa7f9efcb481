// A sheet rendered by the table engine's build road and shown as the pane's rich
// text: the ground of the tests that edit tables in place.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/FileKind.h"
#include "richtext/table/TableDump.h"
#include "richtext/ViewTableState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace richtexttest {

class ShownSheetTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};
  // The cell text (cells split by 0x06), rendered and streamed into the control.
  void ShowSheet(const std::string& cells = "h1\x06h2\x06h3\r\n" "a\x06" "b\x06" "c\r\n" "d\x06" "e\x06" "f\r\n" "g\x06" "h\x06" "i\r\n",
                 int columns = 3, int rows = 4) {
    view_.Table().m_cellStore = cells;
    view_.Table().m_pTextBuf = view_.Table().m_cellStore.data();
    view_.Table().m_nCellTextLen = static_cast<int>(cells.size());
    view_.Table().m_nColumns = columns;
    view_.Table().m_nRows = rows;
    view_.Table().m_nRowLimit = 9000;
    ASSERT_EQ(view_.TableCommand(TableKey::kWholeSheet), 0);
    Rich().StreamInRtf(std::string_view(doc_->m_pText, static_cast<size_t>(doc_->m_nTextLen)), false);
    view_.Pane().m_nShownKind = kKindRtf;
  }
  plat::RichEdit& Rich() { return view_.UseRichText(); }
  std::string Dump() { return DumpTableParagraphs(Rich()); }
  // The control line holding a cell text, -1 when none does.
  int LineOf(const std::string& text) {
    const size_t at = Rich().Text().find(text);
    return at == std::string::npos ? -1 : Rich().ExLineFromChar(Rich().CharFromByte(static_cast<int>(at)));
  }
  void CaretAt(const std::string& text) {
    const size_t at = Rich().Text().find(text);
    ASSERT_NE(at, std::string::npos) << text;
    const int cp = Rich().CharFromByte(static_cast<int>(at));
    Rich().ExSetSel(cp, cp);
  }
  int Table(TableKey code, int number = -1, int cellOnly = 0) { return view_.TableCommand(code, {number, cellOnly}); }
};

}  // namespace richtexttest
