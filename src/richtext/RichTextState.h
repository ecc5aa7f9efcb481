// The document's fields of the rich text and table editor: the printer defaults that
// sheets write back (paper, orientation, scale).
#pragma once

struct RichTextState {
  int m_nPrinterPaper = 9;        // paper code: 9 A4, 8 A3, 11 A5, 12 B4, 13 B5, 1 Letter, 5 Legal, ...
  int m_nPrinterOrientation = 1;  // 1 portrait, 2 landscape
  int m_nPrinterScale = 100;      // percent
};
