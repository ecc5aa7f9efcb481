// The document's image save commands and its display-conversion settings command.
// A save asks for the target in the save dialog (proposing the shown file's name
// with the format's extension), confirms an overwrite and writes the document
// image; the lists then re-read their folders.
#include "image/ImageCommands.h"

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "frame/Dialogs.h"
#include "image/ImageSaveCode.h"
#include "platform/Ui.h"

namespace {

const char* ExtensionOf(int code) {
  switch (code) {
    case kSaveBmz: return ".bmz";
    case kSaveBmpTarget: return ".bmp";
    case kSavePng: return ".png";
    default: return ".jpg";
  }
}

int SaveDocumentImage(CommandContext& cx, int code) {
  CQelDoc& doc = *cx.doc;
  const std::string shown = doc.m_nActiveList == 1 ? doc.m_strFileName1 : doc.m_strFileName2;
  CFileDialog dialog(false, CQelDoc::GetPathPart(shown.empty() ? doc.m_strPathName : shown, 6) + ExtensionOf(code));
  if (dialog.DoModal() != plat::IDOK || !ConfirmOverwrite(dialog.GetPathName())) return -1;
  BITMAPINFO info = doc.m_bmiImage;
  doc.SaveDib(doc.m_pImageBits, &info, dialog.GetPathName(), code);
  if (!doc.m_bLastSaveOk) return -1;
  doc.RefreshFileLists();
  return 0;
}

void OnUpdateImageSave(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(cx.doc && cx.doc->m_pImageBits && IsImageKind(cx.doc->m_nFileKind));
}

int OnSaveBmz(CommandContext& cx) { return SaveDocumentImage(cx, kSaveBmz); }
int OnSaveBmp(CommandContext& cx) { return SaveDocumentImage(cx, kSaveBmpTarget); }
int OnSavePng(CommandContext& cx) { return SaveDocumentImage(cx, kSavePng); }
int OnSaveJpegHigh(CommandContext& cx) { return SaveDocumentImage(cx, kSaveJpegHigh); }
int OnSaveJpegStandard(CommandContext& cx) { return SaveDocumentImage(cx, kSaveJpegStandard); }
int OnSaveJpegBest(CommandContext& cx) { return SaveDocumentImage(cx, kSaveJpegBest); }

// The document's copy of the display-conversion settings, edited in the dialog.
int OnImageConvertSettings(CommandContext& cx) {
  RunImageConvertDialog(&cx.doc->m_ImageSettings);
  return 0;
}

constexpr CommandEntry kRows[] = {
    {33100, "ID_IMAGE_CONVERT_SETTINGS", "画像変換設定", CommandTarget::Document, OnImageConvertSettings},
    {32931, "ID_IMAGE_SAVE_BMZ", "BMZ 保存（可逆圧縮）(&M)", CommandTarget::Document, OnSaveBmz, OnUpdateImageSave},
    {32933, "ID_IMAGE_SAVE_BMP", "BMP 保存(&B)", CommandTarget::Document, OnSaveBmp, OnUpdateImageSave},
    {33135, "ID_IMAGE_SAVE_PNG", "画像圧縮保存png(&P)", CommandTarget::Document, OnSavePng, OnUpdateImageSave},
    {33023, "ID_IMAGE_SAVE_JPEG_HIGH_COMPRESSION", "JPEG保存（高圧縮）(&L)", CommandTarget::Document, OnSaveJpegHigh,
     OnUpdateImageSave},
    {33025, "ID_IMAGE_SAVE_JPEG_STANDARD", "JPEG保存（標準）(&S)", CommandTarget::Document, OnSaveJpegStandard,
     OnUpdateImageSave},
    {33024, "ID_IMAGE_SAVE_JPEG_BEST_QUALITY", "JPEG保存（高画質）(&H)", CommandTarget::Document, OnSaveJpegBest,
     OnUpdateImageSave},
};

}  // namespace

CommandRows ImageCommands() { return kRows; }
