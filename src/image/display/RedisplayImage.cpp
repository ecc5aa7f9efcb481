// CQelDoc::RedisplayImage: the shown picture is loaded again so that the display
// settings changed by a command take effect.
#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "image/ImageState.h"

void CQelDoc::RedisplayImage() {
  const std::string path = !m_strOverridePath.empty() ? m_strOverridePath
                           : m_nActiveList == 1       ? m_strFileName1
                                                      : m_strFileName2;
  const ImageConvertSettings& s = Image().m_ImageSettings;
  if (IsImageKind(m_nFileKind) &&
      !(s.m_bByDifference || s.m_bMono || s.m_bInvert || s.m_bEmphasis || s.m_bSaturationCorr || s.m_bHueCorr ||
        s.m_bBrightnessCorr || s.m_bContinuous || s.m_bIsolated || s.m_bContourCorr || s.m_bTo24 || s.m_bCutOut ||
        s.m_bToTarget)) {
    Image().m_ImageSettings.m_bActive = 0;
  }
  LoadDocument(path.empty() ? m_strPathName : path);
}
