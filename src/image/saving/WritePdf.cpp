// CQelDoc::WritePdf: one JPEG file wrapped as a one-page PDF 1.3 whose page shows
// the image at one unit per pixel, embedded unchanged as a DCTDecode image.
//
// The size comes from the JPEG's own frame header (the arguments serve only when
// it has none); the file is assembled in memory, every cross-reference offset taken
// from what was written, and it replaces the target only when complete. It returns
// whether it was written, as the image writers do.
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "base/AsciiCase.h"
#include "base/ByteCursor.h"
#include "base/CheckedSize.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "image/saving/ImageSaveFormats.h"
#include "image/saving/PdfImage.h"
#include "image/saving/SaveFile.h"
#include "platform/os/Files.h"

namespace {

std::string Fixed(const char* format, long long v) {
  char text[32];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

}  // namespace

bool JpegFrameSize(std::span<const uint8_t> jpeg, int* width, int* height) {
  ByteCursor in(jpeg);
  if (in.U8() != 0xFF || in.U8() != 0xD8) return false;
  while (in.Ok()) {
    // Markers may be padded with 0xFF bytes.
    if (in.U8() != 0xFF) return false;
    int marker = in.U8();
    while (marker == 0xFF && in.Ok()) marker = in.U8();
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
    if (marker == 0xD9 || marker == 0xDA) return false;
    const int length = in.U16BE();
    if (length < 2) return false;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      ByteCursor sof = in.Sub(length - 2);
      sof.U8();
      *height = sof.U16BE();
      *width = sof.U16BE();
      return sof.Ok() && *width > 0 && *height > 0;
    }
    in.Skip(length - 2);
  }
  return false;
}

std::vector<uint8_t> BuildImagePdf(std::span<const uint8_t> jpeg, int width, int height) {
  const std::string w = Fixed("%6lld", width), h = Fixed("%6lld", height);
  const std::string l = Fixed("%8lld", static_cast<long long>(jpeg.size()));
  std::vector<uint8_t> out;
  std::array<size_t, 10> offsets{};
  const auto put = [&out](const std::string& text) { out.insert(out.end(), text.begin(), text.end()); };
  const auto object = [&](int number, const std::string& text) {
    offsets[static_cast<size_t>(number)] = out.size();
    put(text);
  };
  put("%PDF-1.3\n%ABCD\n");
  object(1, "1 0 obj\n<</Type/Pages\n/Count 1\n/Kids[6 0 R\n]>>\nendobj\n");
  object(2, "2 0 obj\n<</Type/Catalog\n/Pages 1 0 R\n>>\nendobj\n");
  object(3,
         "3 0 obj\n<</Subject ( )\n/Title ( )\n/Creator (Pelnor ver.3.29)\n"
         "/Author ( )\n/CreationDate (D:              )\n/Producer ( )\n>>\nendobj\n");
  object(5, "5 0 obj\n" + l + "\nendobj\n");
  object(6, "6 0 obj\n<</Type/Page\n/Parent 1 0 R\n/Resources 9 0 R\n/MediaBox[0 0" + w + h +
                "]\n/Contents[7 0 R ]\n>>\nendobj\n");
  const std::string content = "q\n" + w + " 0 0" + h + " 0 0 cm\n/I0 Do\nQ\n";
  object(7, "7 0 obj\n<</Length 8 0 R\n>>\nstream\n" + content + "\nendstream\nendobj\n");
  object(8, "8 0 obj\n" + std::to_string(content.size() + 1) + "\nendobj\n");
  object(9, "9 0 obj\n<</ProcSet[/PDF/ImageC]\n/XObject<</I0 4 0 R\n>>\n>>\nendobj\n");
  object(4, "4 0 obj\n<</Type/XObject\n/Subtype/Image\n/Width" + w + "\n/Height" + h +
                "\n/BitsPerComponent 8\n/ColorSpace/DeviceRGB\n/Filter[/DCTDecode]\n/DecodeParms[<<>>]\n"
                "/Length 5 0 R\n>>\nstream\n");
  out.insert(out.end(), jpeg.begin(), jpeg.end());
  put("endstream\nendobj\n");
  const size_t xref = out.size();
  put("xref\n0 10\n0000000000 65535 f \n");
  for (int i = 1; i <= 9; ++i) put(Fixed("%010lld", static_cast<long long>(offsets[static_cast<size_t>(i)])) + " 00000 n \n");
  put("trailer\n<</Size 10\n/Info 3 0 R\n/Root 2 0 R\n>>\nstartxref\n" + Fixed("%8lld", static_cast<long long>(xref)) +
      "\n%%EOF\n");
  return out;
}

ConvertStatus CQelDoc::WritePdf(std::string target, std::string jpegPath, int width, int height) {
  if (jpegPath.empty() || width <= 0 || height <= 0) return SaveNotWritten();
  plat::File file;
  if (!file.Open(jpegPath, plat::File::Mode::Read)) return SaveNotWritten();
  std::vector<uint8_t> jpeg;
  const int64_t length = file.GetLength();
  // A JPEG that cannot be held is treated as one that cannot be read: nothing is written.
  if (length <= 0 || length > INT32_MAX || !TryAllocate(jpeg, length, 1, 0, &m_allocHook)) return SaveNotWritten();
  if (file.Read(jpeg.data(), length) != length) return SaveNotWritten();
  file.Close();
  JpegFrameSize(jpeg, &width, &height);

  if (AsciiLowerTail(target, 3) != "pdf" && !AskPdfTarget(target)) return SaveCancelled();
  if (const ConvertStatus written = ReplaceFileWith(target, BuildImagePdf(jpeg, width, height)); !written.ok()) {
    return written;
  }

  LoadDocument(target);
  (m_nActiveList == 1 ? m_strFileName1 : m_strFileName2) = target;
  if (g_pMainFrame) g_pMainFrame->ActivateListPane(0, m_nActiveList - 1);
  m_nViewRequest = kRefreshLists;
  UpdateAllViews();
  return ConvertStatus::Ok();
}

bool CQelDoc::AskPdfTarget(std::string& target) {
  CFileDialog dialog(false, GetPathPart(target, PathPart::kWithoutExtension) + ".pdf");
  if (dialog.DoModal() != plat::IDOK || dialog.GetPathName().empty()) return false;
  if (!ConfirmOverwrite(dialog.GetPathName())) return false;
  target = dialog.GetPathName();
  return true;
}
