#include "richtext/ColorDialog.h"

#include "app/Globals.h"
#include "frame/MainFrame.h"

int CColorDialog::DoModal() {
  plat::UiHost fallback;
  const plat::DialogAnswer answer = g_pMainFrame ? g_pMainFrame->Ui().RunDialog("CColorDialog") : fallback.RunDialog("CColorDialog");
  if (answer.result != plat::IDOK) return plat::IDCANCEL;
  auto it = answer.fields.find("color");
  if (it == answer.fields.end()) it = answer.fields.find("value");
  if (it == answer.fields.end()) return plat::IDCANCEL;
  const std::string& hex = it->second;
  if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return plat::IDCANCEL;
  const unsigned long v = std::stoul(hex, nullptr, 16);
  m_color = RGB(static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF));
  return plat::IDOK;
}
