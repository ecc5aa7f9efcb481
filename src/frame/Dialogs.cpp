#include "frame/Dialogs.h"

#include "app/Globals.h"
#include "frame/MainFrame.h"

namespace {

plat::DialogAnswer Ask(std::string_view name) {
  if (g_pMainFrame) return g_pMainFrame->Ui().RunDialog(name);
  plat::UiHost fallback;
  return fallback.RunDialog(name);
}

// The answer's value of a field, or of its one bare value; false when it gives neither.
bool FieldOf(const plat::DialogAnswer& answer, const char* field, std::string& out, bool bareServes = true) {
  for (const char* key : {field, bareServes ? "value" : field}) {
    auto it = answer.fields.find(key);
    if (it != answer.fields.end()) {
      out = it->second;
      return true;
    }
  }
  return false;
}

}  // namespace

int CInputDlg::DoModal() {
  const plat::DialogAnswer answer = Ask("CInputDlg");
  if (answer.result == plat::IDOK) FieldOf(answer, "text", m_strText);
  return answer.result;
}

int CKeyCodeDlg::DoModal() {
  const plat::DialogAnswer answer = Ask("CKeyCodeDlg");
  if (answer.result != plat::IDOK) return 0;
  FieldOf(answer, "key", m_strKeyCode);
  return 1;
}

int CTextInputDlg::DoModal() {
  const plat::DialogAnswer answer = Ask("CTextInputDlg");
  if (answer.result != plat::IDOK) return 0;
  FieldOf(answer, "text", m_strText);
  return 1;
}

int CFileDialog::DoModal() {
  const plat::DialogAnswer answer = Ask(m_bOpen ? "CFileDialog(open)" : "CFileDialog(save)");
  if (answer.result != plat::IDOK) return plat::IDCANCEL;
  // A file dialog answered OK without a name has chosen nothing.
  std::string path;
  if (!FieldOf(answer, "path", path, false) || path.empty()) return plat::IDCANCEL;
  m_strPathName = path;
  return plat::IDOK;
}

int CColorDialog::DoModal() {
  const plat::DialogAnswer answer = Ask("CColorDialog");
  if (answer.result != plat::IDOK) return plat::IDCANCEL;
  std::string hex;
  // OK without a colour keeps the one the dialog opened on.
  if (!FieldOf(answer, "color", hex)) return plat::IDOK;
  unsigned value = 0;
  for (char c : hex) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0 || hex.size() != 6) return plat::IDCANCEL;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  m_crColor = RGB(static_cast<int>(value >> 16 & 255), static_cast<int>(value >> 8 & 255), static_cast<int>(value & 255));
  return plat::IDOK;
}
