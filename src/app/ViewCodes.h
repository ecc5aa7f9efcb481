// What the document asks of its views, and the view's own timers.
//
// A ViewRequest is a set of flags every view reads at its update: the text pane
// shows the document again, the file lists take the current file or re-read their
// folders. A request may be for one pane only. A ViewAction is a one-shot job for
// the text pane (a capture, an image save, a metafile load), posted through
// CQelDoc::PostViewAction; the pane's update performs it once and clears it.
#pragma once

#include <cstdint>

enum class ViewRequest : uint8_t {
  kNone = 0,
  kRedisplay = 1,        // the text pane shows the document again
  kTakeCurrentFile = 2,  // the file lists take the document's current file
  kReread = 4,           // the file lists re-read their folders
  kClosing = 8,          // the document is closing: no view acts
  kTakeName = 16,        // the text pane takes the document's path as the name it shows, nothing shown again
};

constexpr ViewRequest operator|(ViewRequest a, ViewRequest b) {
  return static_cast<ViewRequest>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b));
}

// The lists show the current file and the folders as they now are (after a save).
inline constexpr ViewRequest kRefreshLists = ViewRequest::kTakeCurrentFile | ViewRequest::kReread;
// Every view: the document shown again and the lists refreshed.
inline constexpr ViewRequest kRefreshAll = ViewRequest::kRedisplay | kRefreshLists;

// The requests the views read, with the one pane they are for (kAllPanes: every view;
// a request for one text pane is left alone by the file lists).
struct ViewRequests {
  static constexpr int kAllPanes = -1;
  ViewRequest flags = ViewRequest::kNone;
  int pane = kAllPanes;

  constexpr ViewRequests() = default;
  constexpr ViewRequests(ViewRequest set, int forPane = kAllPanes) : flags(set), pane(forPane) {}
  constexpr bool Has(ViewRequest flag) const {
    return (static_cast<uint8_t>(flags) & static_cast<uint8_t>(flag)) != 0;
  }
  constexpr bool ForPane(int p) const { return pane == kAllPanes || pane == p; }
  bool operator==(const ViewRequests&) const = default;
};

// The capture codes of CQelView::CaptureScreen.
inline constexpr int kCaptureDataScreen = 0;  // the pane's text or picture, paged
inline constexpr int kCaptureDesktop = 1;
inline constexpr int kCaptureNumbered = 2;    // a clicked window under numbered names, from the file list
inline constexpr int kCaptureClickedWindow = 40;
inline constexpr int kCaptureClickedSeries = 41;

enum class ViewActionKind : uint8_t {
  kNone,
  kCapture,           // CaptureScreen(captureCode)
  kSaveAsked,         // the shown picture, the target asked in the save dialog, with saveCode
  kSaveSource,        // the source picture, saved beside the shown file with saveCode
  kLoadMetafile,      // the pane loads the metafile of the document's path
};

enum class ImageSaveCode : int;  // image/saving/ImageSaveFormats.h

struct ViewAction {
  ViewActionKind kind = ViewActionKind::kNone;
  ImageSaveCode saveCode{};  // the format of a save
  int captureCode = 0;  // the CaptureScreen code of a capture
  bool operator==(const ViewAction&) const = default;
  bool Is(ViewActionKind k) const { return kind == k; }
};

// The view's timers. Each pane repaints its picture on its own timer; the paste
// back after a selection became a table has one of its own. The media timers are
// in media/MediaCodes.h.
constexpr int ImageRepaintTimer(int pane) { return pane + 2; }
inline constexpr int kTimerFirstPaneRepaint = 5;  // the first pane's repaint after a paint
inline constexpr int kTimerPasteBack = 40;
