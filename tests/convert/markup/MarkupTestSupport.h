// Runs the HTML and spreadsheet-XML converters on bytes in memory, the way the
// file-to-text dump calls them: the raw buffer holds exactly the file's bytes (so
// the sanitizers see any read past them) and the display buffer is the output
// volume plus the loader's margin.
#pragma once

#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "platform/text/CodePage.h"

namespace markuptest {

constexpr int kLoaderMargin = 8192;

enum class Form { Html, Sheet };

// capacity: the display buffer's size; 0 for the output volume plus the margin.
inline std::string Convert(CQelDoc& doc, const std::string& bytes, Form form = Form::Html, int tableLayout = 0,
                           int capacity = 0) {
  doc.Convert().m_rawStore = ZeroedVector<uint8_t>(bytes.begin(), bytes.end());
  doc.Convert().m_rawStore.shrink_to_fit();
  doc.Convert().m_pRawData = doc.Convert().m_rawStore.data();
  doc.Convert().m_nRawLen = static_cast<int64_t>(bytes.size());
  doc.m_convStore = ZeroedVector<char>();  // a fresh buffer of exactly the size asked
  if (!doc.AllocateConvBuffer(capacity > 0 ? capacity : doc.m_nOutDataLimit + kLoaderMargin)) {
    return "<no output buffer>";
  }
  DumpCall call;
  call.bTableRules = tableLayout;
  call.settingRows = doc.m_nTableRows;  // as set: a test may ask for a matrix below the settings' least
  doc.WriteConvertFailure(form == Form::Sheet ? doc.ConvertXmlSheetToText(call) : doc.ConvertHtmlToText(call));
  const int length = doc.m_nConvPos;
  if (length < 0 || length >= doc.m_nConvCap) return "<length out of the buffer>";
  return std::string(doc.m_pConvBuf, static_cast<size_t>(length));
}

// The text before the link list heading, and the link list's lines.
std::string Body(const std::string& text);
std::vector<std::string> LinkList(const std::string& text);
// The lines of a text.
std::vector<std::string> Lines(const std::string& text);
// The character sequence a reader sees, for comparing word order with other
// tools: UTF-8 without white space, ASCII punctuation, bullets, box drawing and
// this program's own marks (link labels, heading marks, image tags).
std::string Letters(const std::string& utf8, bool ownMarks);
// The cells of a table line laid out with "|" separators, trimmed.
std::vector<std::string> Cells(const std::string& line);

inline std::string Utf8(const std::string& sjis) { return plat::Cp932ToUtf8(sjis); }
inline std::string Sjis(const std::string& utf8) { return plat::Utf8ToCp932Lossy(utf8); }

}  // namespace markuptest
