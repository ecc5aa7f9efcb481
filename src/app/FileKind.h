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
  kKindHtml = 6,
  kKindText = 9,
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
  kKindXlsx = 36,
  kKindDocx = 37,
  kKindPptx = 38,
  kKindMidi = 51,      // media: 51 to 58
  kKindWave = 52,
  kKindVideo = 53,
  kKindMpeg = 54,
  kKindMp4 = 55,
  kKindAudio = 56,     // .mp3 .wma
  kKindMacro = 98,     // list macros
  kKindOther = 99,
};

constexpr bool IsImageKind(int kind) { return kind >= kKindBmp && kind <= kKindEmf; }
constexpr bool IsMediaKind(int kind) { return kind >= kKindMidi && kind <= 58; }
