// The file list's archive commands: pack into ZIP or LZH, unpack a ZIP or LZH
// archive into its folder, protect and expand documents, and encipher and decipher
// names. Each runs on the selected files of the active list (the current item when
// nothing is selected) and re-reads the list afterwards; each hands the folder it
// works in to the operation, and the process's current folder stays as it is.
#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "archive/ArchiveCommands.h"
#include "ops/ArchiveModes.h"
#include "archive/ArchivePaths.h"
#include "ops/ArchiveStatus.h"
#include "archive/FailureReason.h"
#include "archive/Overwrite.h"
#include "archive/pack/PackList.h"
#include "archive/protect/CipherKey.h"
#include "ops/SourceMode.h"
#include "base/AsciiCase.h"
#include "filelist/FlistView.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

std::string CurrentItem(CommandContext& cx) {
  if (!cx.list || !cx.doc) return "";
  std::string path = cx.list->CurrentPath();
  (cx.doc->m_nActiveList == 2 ? cx.doc->m_strFileName2 : cx.doc->m_strFileName1) = path;
  return path;
}

std::vector<std::string> Targets(CommandContext& cx) {
  std::vector<std::string> paths = cx.list ? cx.list->SelectedPaths() : std::vector<std::string>{};
  if (paths.empty()) {
    const std::string current = CurrentItem(cx);
    if (!current.empty()) paths.push_back(current);
  }
  return paths;
}

// The list shows the new item, or is re-read.
void ShowResult(CommandContext& cx, const std::string& path) {
  if (!cx.list) return;
  if (path.empty() || cx.list->ShowPath(path) < 0) cx.list->ReadFolder();
}

// Runs act on each target (the selection, else the current item), each made the
// list's current file first; -1 when there is none or one failed.
int OnEachTarget(CommandContext& cx, const std::function<int(CommandContext&, const std::string&)>& act) {
  const std::vector<std::string> targets = Targets(cx);
  int result = targets.empty() ? -1 : 0;
  for (const std::string& path : targets) {
    (cx.doc->m_nActiveList == 2 ? cx.doc->m_strFileName2 : cx.doc->m_strFileName1) = path;
    if (act(cx, path) < 0) result = -1;
  }
  return result;
}

int CompressZip(CommandContext& cx, const std::string&) {
  if (!cx.doc->CompressToZip(CompressMode::kZipQuiet).ok()) return -1;
  ShowResult(cx, cx.doc->m_nActiveList == 2 ? cx.doc->m_strFileName2 : cx.doc->m_strFileName1);
  return 0;
}

int CompressLzh(CommandContext& cx, const std::string& item) {
  const std::string folder = CQelDoc::GetPathPart(item, PathPart::kFolder);
  if (IsEmptyFolderToPack(item)) return -1;
  // An existing file of the archive's name is replaced only after Yes.
  if (plat::Exists(item + ".lzh") && !AskOverwrite(item + ".lzh")) return -1;
  const std::string base = folder.empty() ? "\\" : folder;
  bool packed = false;
  if (ResolvedFolder(base)) {
    const std::string name = CQelDoc::GetPathPart(item, PathPart::kName);
    packed = cx.doc->WriteArchive(PackMode::kLzh, PackName::FromSource(), {name}, PackMessages::kShow, base).ok();
  }
  ShowResult(cx, packed ? item + ".lzh" : "");
  return packed ? 0 : -1;
}

int OnCompressZip(CommandContext& cx) { return OnEachTarget(cx, CompressZip); }
int OnCompressLzh(CommandContext& cx) { return OnEachTarget(cx, CompressLzh); }

int Unpack(CommandContext& cx, const std::string& item) {
  // A site's drive is no local folder: the members would go to the local path of that name.
  if (cx.doc->RefuseFtpDriveSave(item)) return -1;
  const std::string ext = AsciiLowerCopy(CQelDoc::GetPathPart(item, PathPart::kExtension));
  const std::string folder = CQelDoc::GetPathPart(item, PathPart::kFolder);
  if (ext != "zip" && ext != "lzh") {
    AfxMessageBox(plat::ShownPath(item) + "\r\n" + plat::Utf8ToCp932Lossy("ZIP・LZH書庫ではないため解凍できません。"));
    return -1;
  }
  const ArchiveStatus result = ext == "zip" ? cx.doc->ExtractZip(ExtractMode::kCommand, item, folder, ExtractOverwrite::kAsk)
                                            : cx.doc->ProcessLzh(item, folder, LzhMode::kUnpack);
  ShowResult(cx, item);
  return result.ok() ? 0 : -1;
}

int Protect(CommandContext& cx, const std::string& item) {
  if (cx.doc->RefuseFtpDriveSave(item)) return -1;
  if (plat::IsDirectory(item)) {
    AfxMessageBox(plat::ShownPath(item) + "\r\n" + plat::Utf8ToCp932Lossy("フォルダーは保護形式にできません。"));
    return -1;
  }
  const ArchiveStatus result = cx.doc->ConvertSource(SourceMode::kScramble, item, "");
  ShowResult(cx, "");
  return result.ok() ? 0 : -1;
}

// Shows the expanded text of the item; its plain copy is removed once shown. The
// document then stands for the item, not the copy in TMP: a save beside the shown
// file, and the save dialog's proposal, go beside the user's protected file.
int Expand(CommandContext& cx, const std::string& item) {
  const ArchiveStatus expanded = cx.doc->RenameProtectedSource(item);
  if (!expanded.ok()) return -1;
  const std::string plain = expanded.path;
  const int result = cx.doc->LoadDocument(plain);
  plat::RemoveFile(plain);
  cx.doc->m_strPathName = item;
  cx.doc->m_nViewRequest = ViewRequest::kTakeName;
  cx.doc->UpdateAllViews();
  return result < 0 ? -1 : 0;
}

int OnUnpack(CommandContext& cx) { return OnEachTarget(cx, Unpack); }
int OnProtect(CommandContext& cx) { return OnEachTarget(cx, Protect); }
int OnExpand(CommandContext& cx) { return OnEachTarget(cx, Expand); }

// Whether a rename of path may take the name to: it stays in path's folder, and its
// name is one valid Shift-JIS name with no separator, drive, control byte, and no
// "." or ".." as the deciphered part. A deciphered name is text from the file
// system, and must never move the file or name something else.
bool IsPlainNameInFolder(const std::string& path, const std::string& to) {
  const size_t sep = plat::FindLastSeparator(path);
  const std::string folder = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
  if (to.size() <= folder.size() || to.compare(0, folder.size(), folder) != 0) return false;
  const std::string name = to.substr(folder.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<uint8_t>(name[i]);
    if (IsSjisLeadByte(b) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (b < 0x20 || b == 0x7F || b == '\\' || b == '/' || b == ':') return false;
  }
  std::string deciphered = CQelDoc::GetPathPart(name, PathPart::kStem);
  if (deciphered.size() >= 4 && deciphered.compare(deciphered.size() - 4, 4, "@Enc") == 0) deciphered.resize(deciphered.size() - 4);
  if (deciphered.empty() || deciphered == "." || deciphered == "..") return false;
  return plat::ToHostPath(name).has_value();
}

// Why a name did not translate: enciphering takes only names marked "@Enc" right
// before the extension (others are left as they are); deciphering only the stored
// form, with the key it was made with.
std::string UntranslatedReason(const std::string& path, NameForm form) {
  const std::string name = CQelDoc::GetPathPart(path, PathPart::kName);
  if (form == NameForm::kStored) {
    const std::string base = CQelDoc::GetPathPart(path, PathPart::kWithoutExtension);
    if (base.size() < 4 || base.compare(base.size() - 4, 4, "@Enc") != 0)
      return plat::Utf8ToCp932Lossy("名前が @Enc で終わっていないため暗号化しません。");
    return plat::Utf8ToCp932Lossy("名前が長過ぎるため暗号化できません。");
  }
  if (name.find("#~$_") == std::string::npos) return plat::Utf8ToCp932Lossy("暗号化された名前ではありません。");
  return LoadString(IDS_WRONG_KEY);
}

// Renames each target to its stored or plain form. A name that does
// not translate (no "@Enc" mark, a wrong key, no cipher text), a name that is taken,
// and a deciphered name that is no plain name in the folder are left, each with a
// message saying why, and make the command fail.
int RenameAll(CommandContext& cx, NameForm form) {
  std::optional<CipherKey> key;
  if (!ObtainCipherKey(*cx.doc, false, key).ok()) return -1;
  int failed = 0;
  std::string last;
  for (const std::string& path : Targets(cx)) {
    const std::string to = cx.doc->TranslateFileName(path, form).path;
    std::string why;
    if (to == path) {
      why = UntranslatedReason(path, form);
    } else if (!IsPlainNameInFolder(path, to)) {
      why = LoadString(IDS_CANNOT_MAKE);
    } else if (plat::LinkStat(to)) {
      why = CQelDoc::GetPathPart(to, PathPart::kName) + plat::Utf8ToCp932Lossy(" は既に存在します。");
    } else if (!plat::RenameFile(path, to)) {
      why = ErrnoReason(errno);
    }
    if (!why.empty()) {
      AfxMessageBox(plat::ShownPath(path) + "\r\n" + why);
      ++failed;
      continue;
    }
    last = to;
  }
  ShowResult(cx, last);
  return failed ? -1 : 0;
}

int OnEncipherNames(CommandContext& cx) { return RenameAll(cx, NameForm::kStored); }
int OnDecipherNames(CommandContext& cx) { return RenameAll(cx, NameForm::kPlain); }

int OnSaveSourceAs(CommandContext& cx) {
  CurrentItem(cx);
  return cx.doc->OnSaveSourceAs().ok() ? 0 : -1;
}

void WhenItem(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.list && !cx.list->CurrentPath().empty()); }

constexpr CommandEntry kRows[] = {
    {33500, "ID_LIST_COMPRESS_ZIP", "ZIP圧縮", CommandTarget::FileList, OnCompressZip, WhenItem, "compress"},
    {33501, "ID_LIST_COMPRESS_LZH", "LZH圧縮", CommandTarget::FileList, OnCompressLzh, WhenItem, "compress-lzh"},
    {33502, "ID_LIST_UNPACK", "解凍", CommandTarget::FileList, OnUnpack, WhenItem, "unpack"},
    {33503, "ID_LIST_PROTECT", "保護形式に変換", CommandTarget::FileList, OnProtect, WhenItem, "protect"},
    {33504, "ID_LIST_UNPROTECT", "保護形式を解除", CommandTarget::FileList, OnExpand, WhenItem, "expand"},
    {33505, "ID_LIST_ENCRYPT_NAME", "ファイル名の暗号化", CommandTarget::FileList, OnEncipherNames, WhenItem, "encipher-names"},
    {33700, "ID_FILE_SAVE_SOURCE_AS", "保護ファイルを別名で保存", CommandTarget::FileList, OnSaveSourceAs, WhenItem,
     "save-source-as"},
    {33506, "ID_LIST_DECRYPT_NAME", "ファイル名の復号", CommandTarget::FileList, OnDecipherNames, WhenItem, "decipher-names"},
};

}  // namespace

CommandRows ArchiveCommands() { return kRows; }
