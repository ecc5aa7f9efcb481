// CQelView: the text pane. It shows the document's text through a text model,
// takes keys, mouse and scroll messages, runs its timers on the program clock and
// performs the one-shot actions the document leaves for it. Images, tables and media
// are further members of this class, declared by their subsystems; until one is
// built, what would reach it is reported on the message stream and left undone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/QelDoc.h"
#include "image/ImageConvertSettings.h"
#include "image/codecs/Dib.h"
#include "view/DisplayPicture.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiDraw.h"
#include "platform/gdi/GdiText.h"
#include "platform/richedit/RichEdit.h"
#include "platform/gdi/Types.h"
#include "richtext/TableKey.h"
#include "view/TextModel.h"
#include "view/ViewState.h"

struct ViewMediaState;  // media/ViewMediaState.h
struct BlockRect;          // richtext/ViewTableState.h
struct ViewTableState;     // richtext/ViewTableState.h
struct ViewRichTextState;  // richtext/ViewRichTextState.h
struct ViewImageState;   // image/ViewImageState.h
struct ViewRegionState;  // image/ViewRegionState.h
struct RegionBackup;     // image/ViewRegionState.h

class CQelView : public CDocView {
 public:
  // The client area a pane offers: text cells of 8 x 16 pixels.
  static constexpr int kCharWidth = 8;
  static constexpr int kLineHeight = 16;
  static constexpr int kClientWidth = 640;
  static constexpr int kClientHeight = 480;

  explicit CQelView(CQelDoc& doc, int pane = 1);
  ~CQelView() override;
  CQelView(const CQelView&) = delete;
  CQelView& operator=(const CQelView&) = delete;

  CQelDoc& GetDocument() { return m_doc; }
  // The pane's own fields (view/ViewState.h).
  ViewPaneState& Pane() { return pane_; }
  const ViewPaneState& Pane() const { return pane_; }
  ViewMacroState& Macro() { return macro_; }
  const ViewMacroState& Macro() const { return macro_; }
  // The subsystems' fields of the pane, each declared in its subsystem's folder.
  ViewMediaState& Media() { return *media_; }
  const ViewMediaState& Media() const { return *media_; }
  ViewTableState& Table() { return *table_; }
  const ViewTableState& Table() const { return *table_; }
  ViewRichTextState& RichText() { return *richText_; }
  const ViewRichTextState& RichText() const { return *richText_; }
  ViewImageState& Image() { return *image_; }
  const ViewImageState& Image() const { return *image_; }
  ViewRegionState& Region() { return *region_; }
  const ViewRegionState& Region() const { return *region_; }
  TextModel& Text() { return *m_pModel; }
  const TextModel& Text() const { return *m_pModel; }
  // Hands the text over to another model (the rich-text one), keeping the text.
  void SetTextModel(std::unique_ptr<TextModel> model);

  // Update: the document's requests for this pane, then the pending ViewAction
  // (performed by the image subsystem, PerformImageAction).
  void OnUpdate() override;
  void OnFilePrintPreview();

  // Keys: a code of platform/ui/Keys.h with its modifiers. OnChar types a character.
  void OnKeyDown(int key);
  void OnChar(char ch);

  // Mouse on the client area; flags as platform/ui/Keys.h MK_*.
  void OnLButtonDown(unsigned flags, CPoint point);
  void OnLButtonUp(unsigned flags, CPoint point);
  void OnRButtonDown(unsigned flags, CPoint point);
  void OnMouseMove(unsigned flags, CPoint point);

  // Scroll messages: a scroll-bar code and, for the thumb codes, the position.
  void OnHScroll(int code, int pos);
  void OnVScroll(int code, int pos);

  // Timers on the program clock, owned by this pane.
  void SetTimer(int id, uint32_t ms);
  void KillTimer(int id);
  void OnTimer(int id);

  // Copies the view text into the document (grown to length + 1,000 bytes),
  // shows it again and keeps the scroll position. Below 0 when memory ran out.
  int RefreshKeepingScroll(int mode);
  // The shown file's name, or for a temporary copy in TMP the file it came from.
  std::string GetRealFileName() const;
  bool HasSelection() const;
  // Copies line n into buffer (cap bytes with the terminator) up to its CR or end,
  // never splitting a double-byte character; returns the bytes copied, -1 for no line.
  int CopyLine(int line, char* buffer, int cap) const;
  // The position of the end of line n; -1 for no line.
  int GetLineEnd(int line) const;

  // The pane's client surface brought up to date for what reads it (save-pane, the
  // captures): text is painted afresh, since it scrolls and changes without a
  // repaint; a picture is painted when it never was.
  void PreparePaneSurface();
  bool PaneShowsPicture() const;
  // Paints the lines in view onto the pane's client surface.
  void PaintTextPane();

  // Sets the selection (an end of -1 is the text's end).
  void SetSel(int start, int end);
  // The position under a client point.
  int CharFromPoint(CPoint point) const;

  // Members of the images, tables and media subsystems: each declares them in a
  // .inc file of its own folder, included here (as app/QelDoc.h does for the document).
#include "image/ViewImageOps.inc"
#include "image/ViewRegionOps.inc"
#include "view/ViewRichText.inc"
#include "richtext/TableOps.inc"
#include "media/MediaViewOps.inc"

 private:
  void ShowDocumentText();
  bool ShowRichTextFile();
  void MoveCaret(int pos, bool extend);
  void SyncSelection();
  void ScrollTo(ScrollPos pos);
  void ScrollCaretIntoView();
  int StepChar(int pos, int direction) const;

  CQelDoc& m_doc;
  std::unique_ptr<TextModel> m_pModel;
  int m_nAnchor = 0;       // where a Shift move or a drag started
  bool m_bDragging = false;
  bool m_bDragMovedColumns = false;  // a table drag moved a boundary: its release keeps the spacing
  std::unique_ptr<plat::TextPainter> m_pTextPainter;  // the pane's fonts, opened on the first paint
  ViewPaneState pane_;
  ViewMacroState macro_;
  std::unique_ptr<ViewMediaState> media_;
  std::unique_ptr<ViewTableState> table_;
  std::unique_ptr<ViewRichTextState> richText_;
  std::unique_ptr<ViewImageState> image_;
  std::unique_ptr<ViewRegionState> region_;
};

// Reports on the message stream that something the pane would do is not built yet.
void NoteNotBuilt(std::string_view what);
