// A page's text as the HTML converter reads it, without disturbing the document's
// own raw bytes and converter output: they are set aside and put back.
#include <algorithm>
#include <utility>

#include "app/QelDoc.h"
#include "convert/ConvertStatus.h"
#include "convert/markup/MarkupConverter.h"
#include "net/QelHtmlView.h"

std::string HtmlPageText(CQelDoc& doc, const std::string& html) {
  plat::ZeroedVector<uint8_t> raw(html.begin(), html.end());
  plat::ZeroedVector<char> conv;
  std::swap(doc.m_rawStore, raw);
  std::swap(doc.m_convStore, conv);
  const auto rawData = std::exchange(doc.m_pRawData, doc.m_rawStore.data());
  const auto rawPos = std::exchange(doc.m_nRawPos, 0);
  const auto rawLen = std::exchange(doc.m_nRawLen, static_cast<int64_t>(html.size()));
  const auto convBuf = doc.m_pConvBuf;
  const auto convPos = doc.m_nConvPos;
  const auto convCap = doc.m_nConvCap;
  std::string text;
  if (doc.AllocateConvBuffer(std::max(doc.m_nOutDataLimit, 0) + 8192)) {
    doc.m_nConvPos = 0;
    const ConvertStatus status = MarkupConverter(doc, MarkupDialect::Html, 0, doc.m_nRawLen).Run();
    if (status.ok()) text.assign(doc.m_pConvBuf, static_cast<size_t>(std::clamp(doc.m_nConvPos, 0, doc.m_nConvCap)));
  }
  std::swap(doc.m_rawStore, raw);
  std::swap(doc.m_convStore, conv);
  doc.m_pRawData = rawData;
  doc.m_nRawPos = rawPos;
  doc.m_nRawLen = rawLen;
  doc.m_pConvBuf = convBuf;
  doc.m_nConvPos = convPos;
  doc.m_nConvCap = convCap;
  return text;
}
