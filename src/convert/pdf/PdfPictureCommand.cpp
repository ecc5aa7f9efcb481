// The user's pick of a picture in a PDF's text: the tag names the object and how it
// is turned; the file is loaded again with that object chosen, which shows the
// picture instead of the text, and the choice is given up afterwards so that the
// next load shows the text again.
#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "convert/pdf/PdfImageTag.h"
#include "convert/pdf/PdfTokenizer.h"

int CQelDoc::ShowPdfPicture(std::string_view text) {
  int object = 0;
  char letter = 'a';
  if (m_nFileKind != kKindPdf || !ParsePdfImageTag(text, &object, &letter) || object <= 0 || object >= kPdfMaxObjects) return -1;
  m_nSelectedItem = object;
  m_nSelectedItemView = letter;
  const int result = LoadDocument(m_strPathName);
  m_nSelectedItem = 0;
  m_nSelectedItemView = 0;
  return result;
}
