// Table code 'P': the view's cell text written as a sheet PDF. The user names the
// file (a save dialog, then the overwrite and write-protect questions); the PDF is
// built in memory with a progress line and an Esc stop every tenth row, then written
// to a new work file in the target's folder and renamed over the target, so a stop
// or a failed write leaves an existing file as it was. The new file is then opened.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/OverwriteQuestion.h"
#include "app/StringTable.h"
#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "richtext/RichTextState.h"
#include "richtext/ViewTableState.h"
#include "richtext/sheet/SheetMarkup.h"
#include "richtext/sheet/SheetPdfWriter.h"
#include "richtext/table/PaneCells.h"
#include "view/QelView.h"

namespace {

// The creation date: now in UTC, or the program clock when a fixed start is set.
std::string PdfDate(const CQelDoc& doc) {
  time_t t = std::time(nullptr);
  if (const int64_t fixed = doc.FixedClockNow(); fixed >= 0) t = static_cast<time_t>(fixed);
  std::tm u{};
  gmtime_r(&t, &u);
  char text[48];
  std::snprintf(text, sizeof text, "%4d%02d%02d%02d%02d%02d", u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, u.tm_hour, u.tm_min,
                u.tm_sec);
  return text;
}

// The message of a sheet past the row limit: the system's text with the hundreds of
// rows that would hold it, and the setting's name, since a script has no menu.
std::string RowLimitText(int rows) {
  std::string text = LoadString(IDS_TABLE_ITEMS_OVER);
  const size_t at = text.find("%d");
  const std::string hundreds = std::to_string((rows + 10) / 100 + 1);
  if (at != std::string::npos) text.replace(at, 2, hundreds);
  while (!text.empty() && (text.front() == '\r' || text.front() == '\n')) text.erase(0, 1);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text + " (n_tbl=" + hundreds + ")";
}

// The file the user names for the PDF, after the overwrite and write-protect
// questions, and a new work file beside it; nothing when cancelled or refused (the
// refusal shown and kept as the key's failure).
std::optional<std::string> ChoosePdfFile(CQelView& view, plat::WorkFile& work) {
  CFileDialog dialog(false, CQelDoc::GetPathPart(view.GetRealFileName(), PathPart::kWithoutExtension) + ".pdf");
  if (dialog.DoModal() != plat::IDOK || dialog.GetPathName().empty()) return std::nullopt;
  const std::string path = view.GetDocument().TranslateFileName(dialog.GetPathName(), NameForm::kStored).path;
  // A pseudo-drive target is refused with its reason (said by the check), and the key fails.
  if (view.GetDocument().RefuseFtpDriveSave(path)) {
    view.Pane().m_strKeyFailure = path + "\n" + LoadString(IDS_NOT_ON_FTP_SITE);
    return std::nullopt;
  }
  if (!ConfirmOverwrite(path)) return std::nullopt;
  const auto info = plat::Stat(path);
  if (info && info->readOnly) {
    if (!AskWriteProtectedQuestion(path)) return std::nullopt;
    plat::SetReadOnly(path, false);
  }
  // A folder, a file still protected or a folder that takes no new file: nothing is written.
  const auto now = plat::Stat(path);
  if ((now && (now->isDirectory || now->readOnly)) || !work.CreateBeside(path)) {
    const int error = now && now->isDirectory ? EISDIR : now && now->readOnly ? EACCES : errno;
    view.Pane().m_strKeyFailure = StringWith(IDS_CANNOT_USE, plat::ShownPath(path)) + "  (" + plat::Utf8ToCp932Lossy(std::strerror(error)) + ")";
    AfxMessageBox(view.Pane().m_strKeyFailure);
    return std::nullopt;
  }
  return path;
}

// Why the PDF was not built (too many objects, too large), shown and kept as the
// key's failure; a stop by Esc says nothing.
void ReportPdfStop(CQelView& view, const sheet::PdfOutput& out) {
  if (out.stop == sheet::PdfStop::ObjectLimit) {
    char text[96];
    std::snprintf(text, sizeof text, "output items over limit  adrs# =%d > %d(max)", out.stopObject, sheet::kPdfObjectLimit);
    view.Pane().m_strKeyFailure = text;
    AfxMessageBox(text);
  } else if (out.stop == sheet::PdfStop::TooLarge) {
    view.Pane().m_strKeyFailure = LoadString(IDS_OUT_OF_MEMORY) + "  abuff#=" + std::to_string(view.Table().m_nCellTextLen) + " ";
    AfxMessageBox(view.Pane().m_strKeyFailure);
  }
}

// The document text holds the PDF until the load replaces it.
void KeepPdfText(CQelDoc& doc, const std::string& bytes) {
  const size_t need = bytes.size() + 1;
  if (doc.m_textStore.size() >= need || TryResize(doc.m_textStore, need, &doc.m_allocHook)) {
    doc.m_pText = doc.m_textStore.data();
    doc.m_nTextCap = static_cast<int>(std::min<size_t>(doc.m_textStore.size(), INT32_MAX));
    std::copy(bytes.begin(), bytes.end(), doc.m_pText);
    doc.m_pText[bytes.size()] = '\0';
    doc.m_nTextLen = static_cast<int>(bytes.size());
  }
}

}  // namespace

bool CQelView::TakePaneCells(int& number) {
  plat::RichEdit* rich = Rich();
  if (!rich || !(Pane().m_nShownKind == kKindRtf || (Pane().m_nShownKind == kKindCsv && Table().m_nTextMode == 3 && rich->GetModify()))) return false;
  const table::PaneCells pane = table::CellTextOfPane(*rich);
  const bool paged = Pane().m_nShownKind == kKindCsv && Table().m_pTextBuf == Table().m_cellStore.data() && Table().m_nSheetRowsTotal > Table().m_nPageRowsShown &&
                     Table().m_nPageStartOffset <= Table().m_nPageEndOffset && static_cast<size_t>(Table().m_nPageEndOffset) <= Table().m_cellStore.size();
  Table().m_cellStore = paged ? Table().m_cellStore.substr(0, static_cast<size_t>(Table().m_nPageStartOffset)) + pane.cells +
                            Table().m_cellStore.substr(static_cast<size_t>(Table().m_nPageEndOffset))
                      : pane.cells;
  Table().m_pTextBuf = Table().m_cellStore.data();
  Table().m_nCellTextLen = static_cast<int>(Table().m_cellStore.size());
  Table().m_nColumns = std::max(pane.columns, paged ? Table().m_nColumns : 0);
  Table().m_nRows = paged ? Table().m_nRows - Table().m_nPageRowsShown + pane.rows : pane.rows;
  Table().m_nRowLimit = std::max(m_doc.m_nTableRows, Table().m_nRows + 11);
  if (number <= 0) number = pane.number;
  return pane.verticalRules;
}

int CQelView::WriteSheetPdf(int number) {
  const bool paneRules = TakePaneCells(number);
  HoldCellText();
  if (RowLimitReached()) {
    // Nothing is printed: the user learns why and which setting lets the sheet through.
    const std::string text = RowLimitText(Table().m_nRows);
    AfxMessageBox(text);
    Pane().m_strKeyFailure = (g_pStatusBar ? g_pStatusBar->GetPaneText(0) : std::string()) + text;
    ReleaseTableLock();
    return 1;
  }
  // Print margins still unset come from the document's print settings; the printer
  // defaults give the paper.
  FillUnsetPrintMargins();
  int* margins[4] = {&Table().m_nPrintMarginTop, &Table().m_nPrintMarginBottom, &Table().m_nPrintMarginLeft, &Table().m_nPrintMarginRight};

  plat::WorkFile work;
  const std::optional<std::string> chosen = ChoosePdfFile(*this, work);
  if (!chosen) {
    ReleaseTableLock();
    return -1;
  }
  const std::string& path = *chosen;

  sheet::PdfInput in;
  in.cells = Table().m_cellStore;
  in.number = number;
  in.paper = sheet::PaperLetter(m_doc.RichText().m_nPrinterPaper, m_doc.RichText().m_nPrinterOrientation);
  for (int k = 0; k < 4; ++k) in.margins[k] = *margins[k];
  in.title = CQelDoc::GetPathPart(path, PathPart::kStem);
  in.date = PdfDate(m_doc);
  in.verticalRules = Table().m_bSheetVerticalRules != 0 || paneRules;
  in.progress = [](int row, int last, int sheetNumber) {
    if (g_pStatusBar) {
      char text[96];
      std::snprintf(text, sizeof text, "%3d / %3d line of sheet %d  (Push ESC key to stop)", row, last, sheetNumber);
      g_pStatusBar->SetPaneText(0, text);
    }
    return g_pMainFrame && g_pMainFrame->CheckUserAbort() != 0;
  };
  const sheet::PdfOutput out = sheet::BuildSheetPdf(in);

  // The paper and margins in force go back to the printer defaults and the view.
  const char paper = out.paper ? out.paper : in.paper;
  sheet::PaperOfLetter(paper, m_doc.RichText().m_nPrinterPaper, m_doc.RichText().m_nPrinterOrientation);
  if (out.scale > 0) m_doc.RichText().m_nPrinterScale = out.scale;
  for (int k = 0; k < 4; ++k) {
    if (out.margins[k] != -99) *margins[k] = out.margins[k];
  }

  if (out.stop != sheet::PdfStop::None) {
    ReportPdfStop(*this, out);
    if (g_pStatusBar) g_pStatusBar->SetPaneText(0, "");
    ReleaseTableLock();
    return -1;
  }

  KeepPdfText(m_doc, out.bytes);
  if (g_pStatusBar) g_pStatusBar->SetPaneText(0, "");
  // A write that found no room says so (the old file stays as it was); anything else
  // is the file being protected or in use.
  const bool written = work.Out().Write(out.bytes.data(), static_cast<int64_t>(out.bytes.size()));
  const bool noRoom = !written && work.Out().OutOfRoom();
  if (!written || !work.CommitAs(path)) {
    Pane().m_strKeyFailure = StringWith(noRoom ? IDS_DISK_FULL : IDS_CANNOT_USE, plat::ShownPath(path));
    AfxMessageBox(Pane().m_strKeyFailure);
    ReleaseTableLock();
    return -1;
  }

  (m_doc.m_nActiveList == 1 ? m_doc.m_strFileName1 : m_doc.m_strFileName2) = path;
  if (g_pMainFrame) g_pMainFrame->ActivateListPane(0, m_doc.m_nActiveList - 1);
  m_doc.RefreshFileLists();
  m_doc.LoadDocument(path);
  ReleaseTableLock();
  return 0;
}
