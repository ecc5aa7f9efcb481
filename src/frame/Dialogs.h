// The modal dialogs that commands open. Each is answered from the frame's queue
// (platform/ui/Ui.h): a queued answer gives the result and the field values by name; a
// bare value answers the dialog's one field ("value"). Without an answer a dialog is
// cancelled and says so.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/gdi/Types.h"

// A one-line input with a caption, a prompt and an initial text (template 135).
class CInputDlg {
 public:
  CInputDlg(std::string caption, std::string prompt, std::string text)
      : m_strCaption(std::move(caption)), m_strPrompt(std::move(prompt)), m_strText(std::move(text)) {}
  int DoModal();  // IDOK with m_strText edited, or IDCANCEL
  std::string m_strCaption;
  std::string m_strPrompt;
  std::string m_strText;  // CP932
};

// Asks for the user's key code (template 136); DoModal returns 1 for OK.
class CKeyCodeDlg {
 public:
  int DoModal();
  std::string m_strKeyCode;  // CP932
};

// A modal text input (template 180); DoModal returns 1 for OK.
class CTextInputDlg {
 public:
  int DoModal();
  std::string m_strText;  // CP932
};

// The file open and save-as dialog: the answer's path (CP932 Windows path).
class CFileDialog {
 public:
  CFileDialog(bool open, std::string defaultName) : m_bOpen(open), m_strPathName(std::move(defaultName)) {}
  int DoModal();  // IDOK with GetPathName() set, or IDCANCEL
  const std::string& GetPathName() const { return m_strPathName; }

 private:
  bool m_bOpen;
  std::string m_strPathName;
};

// The colour chooser: opens on a colour, with 16 custom colours; the answer's
// "color" field (RRGGBB) is the choice.
class CColorDialog {
 public:
  explicit CColorDialog(COLORREF initial = 0) : m_crColor(initial) {}
  int DoModal();  // IDOK with GetColor() set, or IDCANCEL
  COLORREF GetColor() const { return m_crColor; }
  std::array<COLORREF, 16> m_crCustom{};

 private:
  COLORREF m_crColor;
};
