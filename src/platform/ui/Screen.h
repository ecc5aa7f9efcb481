// The screen as the capture sees it: the desktop's rectangle, the foreground window
// and its rectangle, and the pixels of any screen rectangle. With DISPLAY set these
// are the X server's (libX11: the root window read with XGetImage, the focus window
// as the foreground); without it, a virtual desktop composed from windows placed on
// it, the program's own frame first. Windows of the virtual desktop come to the
// front when the program clock reaches the time they were given.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Types.h"

namespace plat {

struct X11Functions;

class Screen {
 public:
  static constexpr int kFrameWindow = 1;  // the program's main frame on the virtual desktop

  Screen();
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // Opens the X display named by DISPLAY; false (and the virtual desktop) without
  // one, or when libX11 cannot be loaded (its text goes to standard error). When
  // DISPLAY names a server that does not answer (or does not answer within 5 s),
  // *why (when given) says so; it is left empty where the virtual desktop is meant.
  bool UseX(std::string* why = nullptr);
  bool UsesX() const { return display_ != nullptr; }
  // Closes the X connection (before the server goes away); the virtual desktop again.
  void CloseX();

  CRect DesktopRect() const;
  // The foreground window at program time nowMs (0 none); its rectangle on the screen.
  uint64_t ForegroundWindow(uint64_t nowMs);
  CRect WindowRect(uint64_t window) const;
  // A window's title (CP932): on the virtual desktop the name it was placed with;
  // "" for the frame, an unknown window, and windows of the X server.
  std::string WindowTitle(uint64_t window) const;
  // Sends a window the close message: a window of the virtual desktop goes away and
  // the frame takes the foreground. False when there is no such window to close.
  bool CloseWindow(uint64_t window);
  // On X, the clicked-window capture takes the pointer (as a screenshot tool does)
  // so that the next button press comes to it, not to the window clicked: false,
  // with *why, when another program holds it. TakeClick gives the top-level window
  // of a press that came since (0 none yet, or a press on the bare desktop);
  // ReleasePointer gives the pointer back.
  bool GrabPointer(std::string* why);
  uint64_t TakeClick();
  void ReleasePointer();
  // The pixels of a screen rectangle (clipped to the desktop; nullptr when empty).
  BitmapPtr Grab(const CRect& rect);

  // The virtual desktop. The frame shows what paint draws into its client area.
  void SetFrame(const CRect& rect, std::function<void(Bitmap&)> paint);
  void MinimizeFrame(bool minimized) { frameMinimized_ = minimized; }
  bool FrameMinimized() const { return frameMinimized_; }
  // A window of one colour, placed on top; its id.
  uint64_t PlaceWindow(const CRect& rect, COLORREF color, const std::string& name);
  // The named window comes to the front (and takes the focus) at program time atMs.
  bool BringToFront(const std::string& name, uint64_t atMs);

 private:
  struct Placed {
    uint64_t id;
    std::string name;
    CRect rect;
    COLORREF color;
    uint64_t frontAt;  // program time it comes to the front; 0 at once
  };
  void Compose(Bitmap& desktop, uint64_t nowMs);
  BitmapPtr GrabX(const CRect& rect);

  const X11Functions* x11_ = nullptr;  // libX11, loaded by the first UseX
  void* display_ = nullptr;  // Display*
  CRect frameRect_{0, 0, 640, 480};
  std::function<void(Bitmap&)> paintFrame_;
  bool frameMinimized_ = false;
  std::vector<Placed> windows_;  // bottom first
  uint64_t nextId_ = 2;
  uint64_t foreground_ = kFrameWindow;
  uint64_t nowMs_ = 0;
};

}  // namespace plat
