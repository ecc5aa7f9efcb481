// A page's text as the HTML converter reads it, without disturbing the document's
// own raw bytes and converter output: they are set aside and put back.
#include <algorithm>
#include <utility>

#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "convert/markup/MarkupConverter.h"

std::string CQelDoc::HtmlPageText(const std::string& html, bool* cut) {
  ZeroedVector<uint8_t> raw(html.begin(), html.end());
  ZeroedVector<char> conv;
  std::swap(m_rawStore, raw);
  std::swap(m_convStore, conv);
  const auto rawData = std::exchange(m_pRawData, m_rawStore.data());
  const auto rawPos = std::exchange(m_nRawPos, 0);
  const auto rawLen = std::exchange(m_nRawLen, static_cast<int64_t>(html.size()));
  const auto convBuf = m_pConvBuf;
  const auto convPos = m_nConvPos;
  const auto convCap = m_nConvCap;
  std::string text;
  if (cut) *cut = false;
  if (AllocateConvBuffer(std::max(m_nOutDataLimit, 0) + 8192)) {
    m_nConvPos = 0;
    const ConvertStatus status = MarkupConverter(*this, MarkupDialect::Html, 0, m_nRawLen).Run();
    if (status.ok()) text.assign(m_pConvBuf, static_cast<size_t>(std::clamp(m_nConvPos, 0, m_nConvCap)));
    if (cut) *cut = m_nRawPos < m_nRawLen;
  }
  std::swap(m_rawStore, raw);
  std::swap(m_convStore, conv);
  m_pRawData = rawData;
  m_nRawPos = rawPos;
  m_nRawLen = rawLen;
  m_pConvBuf = convBuf;
  m_nConvPos = convPos;
  m_nConvCap = convCap;
  return text;
}
