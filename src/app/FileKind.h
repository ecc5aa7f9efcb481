// FileKind: the int code of a file's kind, made from its extension by
// CQelDoc::GetFileKind and refined by the dump's sniffing. The document and the
// views keep it as an int; code compares against these names, never bare numbers.
#pragma once

enum FileKind : int {
  kKindNone = 0,
  kKindPpt = 1,        // binary presentation (.ppt .pot .obd)
  kKindDoc = 2,        // binary Word
  kKindXls = 3,        // binary workbook
  kKindRtf = 4,        // rich text
  kKindCopied5 = 5,    // 5, 7, 8, 10: no extension gives them; shown as the bytes' plain copy
  kKindHtml = 6,
  kKindCopied7 = 7,
  kKindCopied8 = 8,
  kKindText = 9,
  kKindCopied10 = 10,
  kKindPdf = 11,
  kKindBmp = 12,       // images: 12 to 28
  kKindJpeg = 13,
  kKindPng = 14,
  kKindGif = 15,
  kKindTiff = 16,
  kKindUserImage1 = 17,  // the five image extensions the user registered: 17 to 21
  kKindUserImage5 = 21,
  kKindBmz = 22,
  kKindWmf = 27,
  kKindEmf = 28,
  kKindMail = 32,      // .msg .oft
  kKindCsv = 33,
  kKindXmlSheet = 34,  // spreadsheet XML
  kKindWorkbook35 = 35,  // a second workbook kind: read like 3 in the quick head
  kKindXlsx = 36,
  kKindDocx = 37,
  kKindPptx = 38,
  kKindRtfCompound = 42,  // an .rtf name on a compound Word file
  kKindMidi = 51,      // media: 51 to 58
  kKindWave = 52,
  kKindVideo = 53,
  kKindMpeg = 54,
  kKindMp4 = 55,
  kKindAudio = 56,     // .mp3 .wma
  kKindMediaLast = 58,
  kKindLastDocument = 90,  // kinds above are the lists' own: the plain copy is their text
  kKindNotOffice = 92,     // a Word or Excel name on a file that is not one
  kKindMacro = 98,     // list macros
  kKindOther = 99,
};

constexpr bool IsImageKind(int kind) { return kind >= kKindBmp && kind <= kKindEmf; }
constexpr bool IsMediaKind(int kind) { return kind >= kKindMidi && kind <= kKindMediaLast; }
// Kinds whose display text is the plain copy of the file's bytes.
constexpr bool IsPlainCopyKind(int kind) {
  return kind == kKindCopied5 || (kind >= kKindCopied7 && kind <= kKindCopied10) || kind > kKindLastDocument;
}
