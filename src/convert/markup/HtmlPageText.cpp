// A page's text as the HTML converter reads it, without disturbing the document's
// own raw bytes and converter output: they are set aside and put back.
#include <algorithm>
#include <utility>

#include "app/QelDoc.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/markup/MarkupConverter.h"

std::string CQelDoc::HtmlPageText(const std::string& html, bool* cut) {
  ConvertState& c = Convert();
  ZeroedVector<uint8_t> raw(html.begin(), html.end());
  ZeroedVector<char> conv;
  std::swap(c.m_rawStore, raw);
  std::swap(m_convStore, conv);
  const auto rawData = std::exchange(c.m_pRawData, c.m_rawStore.data());
  const auto rawPos = std::exchange(c.m_nRawPos, 0);
  const auto rawLen = std::exchange(c.m_nRawLen, static_cast<int64_t>(html.size()));
  const auto convBuf = m_pConvBuf;
  const auto convPos = m_nConvPos;
  const auto convCap = m_nConvCap;
  std::string text;
  if (cut) *cut = false;
  if (AllocateConvBuffer(std::max(m_nOutDataLimit, 0) + 8192)) {
    m_nConvPos = 0;
    const ConvertStatus status = MarkupConverter(*this, MarkupDialect::Html, 0, c.m_nRawLen, DumpVolumes(false).settingRows).Run();
    if (status.ok()) text.assign(m_pConvBuf, static_cast<size_t>(std::clamp(m_nConvPos, 0, m_nConvCap)));
    if (cut) *cut = c.m_nRawPos < c.m_nRawLen;
  }
  std::swap(c.m_rawStore, raw);
  std::swap(m_convStore, conv);
  c.m_pRawData = rawData;
  c.m_nRawPos = rawPos;
  c.m_nRawLen = rawLen;
  m_pConvBuf = convBuf;
  m_nConvPos = convPos;
  m_nConvCap = convCap;
  return text;
}
