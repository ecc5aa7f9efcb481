// Helpers of the PDF tests: loading a PDF into a document, the text as UTF-8 split
// into pages at the separator lines, tokens for comparing with pdftotext, and small
// PDFs written object by object.
#pragma once

#include <string>
#include <vector>

#include "support/TestEnv.h"

namespace pdftest {

class PdfTest : public testenv::DocTest {
 protected:
  // Loads the file (a Windows path) and returns the display text in UTF-8.
  std::string Load(const std::string& winPath);
  // Writes bytes as NAME and loads them.
  std::string LoadBytes(const std::string& name, const std::string& bytes) { return Load(WriteFile(name, bytes)); }
};

// A PDF of numbered objects (object i + 1 is objects[i]) with the root given.
std::string MakePdf(const std::vector<std::string>& objects, int root = 1);
// A stream object's text: the dictionary entries and the data (Length added).
std::string Stream(const std::string& entries, const std::string& data);
// zlib-compressed bytes (the format's Flate data).
std::string Deflate(const std::string& data);

// The display text's pages: the text split at the page separator lines.
std::vector<std::string> Pages(const std::string& text);
// pdftotext's pages: its text split at form feeds.
std::vector<std::string> ReferencePages(const std::string& text);
// Words of Latin text and single characters of other scripts, in order.
std::vector<std::string> Tokens(const std::string& utf8);
// The share of the reference tokens found in the same order in ours (LCS / reference).
double OrderedRecall(const std::vector<std::string>& ours, const std::vector<std::string>& reference);

}  // namespace pdftest
