// The file list's commands that call into the image subsystem through the document's
// operations. A row without a handler names its command, so that scripts and the
// command listing know it, and is refused. The archive commands are
// archive/ArchiveCommands.cpp's rows, the FTP commands net/FtpCommands.cpp's.
#include "filelist/ListCommands.h"

#include "app/QelDoc.h"
#include "filelist/FlistView.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "platform/text/CodePage.h"
#include "platform/ui/Ui.h"

namespace {

// The batch conversion: the selected files (or the current one) are converted to the
// format whose extension the user gives, beside their sources. A file that cannot be
// converted is named with the reason and nothing is written for it; the others go on.
int OnListBatchConvert(CommandContext& cx) {
  if (!cx.list || !cx.doc) return -1;
  std::vector<std::string> sources = cx.list->SelectedPaths();
  if (sources.empty() && !cx.list->CurrentPath().empty()) sources.push_back(cx.list->CurrentPath());
  if (sources.empty()) return -1;
  CInputDlg dialog(plat::Utf8ToCp932("一括変換").value_or(""),
                   plat::Utf8ToCp932("変換先の形式 (bmp bmz png jpg pdf)").value_or(""), "png");
  if (dialog.DoModal() != plat::IDOK) return -1;
  std::string ext = dialog.m_strText;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  int result = 0;
  for (const std::string& source : sources) {
    const std::string target = CQelDoc::GetPathPart(source, PathPart::kWithoutExtension) + "." + ext;
    if (target == source) continue;
    // A target on a pseudo-drive is refused with its reason and fails the command.
    if (cx.doc->RefuseFtpDriveSave(target)) {
      result = -1;
      continue;
    }
    if (!ConfirmOverwrite(target)) continue;
    const int converted = cx.doc->ConvertImageFile(source, target);
    if (converted == CQelDoc::kConvertRefusedName) {
      result = -1;
    } else if (converted != 0) {
      AfxMessageBox(CQelDoc::GetPathPart(source, PathPart::kName) + "\r\n" + cx.doc->ConvertImageFailureText(converted));
      result = -1;
    }
  }
  cx.doc->RefreshFileLists();
  return result;
}

constexpr CommandEntry kRows[] = {
    {33507, "ID_LIST_BATCH_CONVERT", "一括変換", CommandTarget::FileList, OnListBatchConvert, nullptr, "convert"},
    {33508, "ID_LIST_IMAGE_CONCAT", "画像の連結", CommandTarget::FileList, nullptr},
    {33509, "ID_LIST_MACRO", "リストマクロ実行", CommandTarget::FileList, nullptr},
};

}  // namespace

CommandRows ListCommands() { return kRows; }
