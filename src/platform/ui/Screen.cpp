#include "platform/ui/Screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>

#include "platform/gdi/X11Library.h"
#include "platform/ui/XServerProbe.h"

namespace plat {

namespace {

constexpr int kDesktopWidth = 1024;
constexpr int kDesktopHeight = 768;
constexpr COLORREF kDesktopColor = RGB(58, 110, 165);
// How long the X server has to answer the connection before the capture gives up.
constexpr int kXAnswerDeadlineMs = 5000;

Display* X(void* display) { return static_cast<Display*>(display); }

// A request the server refuses (a window gone meanwhile) must not end the program.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

CRect Clip(const CRect& r, const CRect& bounds) {
  return CRect{std::max(r.left, bounds.left), std::max(r.top, bounds.top), std::min(r.right, bounds.right),
               std::min(r.bottom, bounds.bottom)};
}

}  // namespace

Screen::Screen() = default;

Screen::~Screen() { CloseX(); }

bool Screen::UseX(std::string* why) {
  if (why) why->clear();
  if (display_) return true;
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return false;
  x11_ = X11();
  if (!x11_) {
    if (why) *why = std::string("DISPLAY=") + name + ": libX11 cannot be loaded";
    return false;
  }
  // libX11 would wait for the server's answer without end: it is asked only once
  // the server has answered a connection of our own within the deadline, which stays
  // open until libX11 has connected.
  const XProbe probe = ProbeXServer(name, kXAnswerDeadlineMs);
  if (!probe.silence.empty()) {
    if (why) *why = std::string("DISPLAY=") + name + ": " + probe.silence;
    return false;
  }
  display_ = x11_->XOpenDisplay(name);
  if (display_) x11_->XSetErrorHandler(IgnoreXError);
  if (!display_ && why) *why = std::string("DISPLAY=") + name + ": no X server answers there";
  return display_ != nullptr;
}

bool Screen::GrabPointer(std::string* why) {
  if (!display_) return true;
  const ::Window root = DefaultRootWindow(X(display_));
  const int grabbed = x11_->XGrabPointer(X(display_), root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, root,
                                         None, CurrentTime);
  if (grabbed == GrabSuccess) return true;
  if (why) *why = grabbed == AlreadyGrabbed ? "another program holds the pointer" : "the X server refused the pointer grab";
  return false;
}

uint64_t Screen::TakeClick() {
  if (!display_) return 0;
  XEvent event{};
  const ::Window root = DefaultRootWindow(X(display_));
  while (x11_->XCheckWindowEvent(X(display_), root, ButtonPressMask, &event)) {
    // The press on the root reports the top-level window under the pointer.
    if (event.type == ButtonPress && event.xbutton.subwindow != None) return event.xbutton.subwindow;
  }
  return 0;
}

void Screen::ReleasePointer() {
  if (!display_) return;
  x11_->XUngrabPointer(X(display_), CurrentTime);
  x11_->XFlush(X(display_));
}

void Screen::CloseX() {
  if (display_ && x11_) x11_->XCloseDisplay(X(display_));
  display_ = nullptr;
}

CRect Screen::DesktopRect() const {
  if (display_) {
    const int screen = DefaultScreen(X(display_));
    return CRect{0, 0, DisplayWidth(X(display_), screen), DisplayHeight(X(display_), screen)};
  }
  return CRect{0, 0, kDesktopWidth, kDesktopHeight};
}

uint64_t Screen::ForegroundWindow(uint64_t nowMs) {
  if (display_) {
    ::Window focus = 0;
    int revert = 0;
    x11_->XGetInputFocus(X(display_), &focus, &revert);
    const ::Window root = DefaultRootWindow(X(display_));
    if (focus == None || focus == PointerRoot || focus == root) return 0;
    // The focus may rest on a child of the application's window (a toolkit passes
    // it on): the foreground window is the top-level one, the child of the root.
    for (int depth = 0; depth < 64; ++depth) {
      ::Window rootReturn = 0, parent = 0, *children = nullptr;
      unsigned count = 0;
      if (!x11_->XQueryTree(X(display_), focus, &rootReturn, &parent, &children, &count)) return 0;
      if (children) x11_->XFree(children);
      if (parent == root || parent == None) break;
      focus = parent;
    }
    return focus;
  }
  nowMs_ = std::max(nowMs_, nowMs);
  // Windows whose time has come are raised in the order of their times.
  for (;;) {
    auto next = windows_.end();
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
      if (it->frontAt != 0 && it->frontAt <= nowMs_ && (next == windows_.end() || it->frontAt < next->frontAt)) next = it;
    }
    if (next == windows_.end()) break;
    Placed raised = *next;
    raised.frontAt = 0;
    windows_.erase(next);
    windows_.push_back(raised);
    foreground_ = raised.id;
  }
  return foreground_;
}

CRect Screen::WindowRect(uint64_t window) const {
  if (display_) {
    XWindowAttributes attributes{};
    if (!x11_->XGetWindowAttributes(X(display_), static_cast<::Window>(window), &attributes)) return CRect{};
    int x = 0, y = 0;
    ::Window child = 0;
    x11_->XTranslateCoordinates(X(display_), static_cast<::Window>(window), DefaultRootWindow(X(display_)), 0, 0, &x, &y,
                          &child);
    // The border belongs to the window, as a frame does.
    const int b = attributes.border_width;
    return CRect{x - b, y - b, x + attributes.width + b, y + attributes.height + b};
  }
  if (window == kFrameWindow) return frameRect_;
  for (const Placed& w : windows_) {
    if (w.id == window) return w.rect;
  }
  return CRect{};
}

std::string Screen::WindowTitle(uint64_t window) const {
  if (display_) return "";
  for (const Placed& w : windows_) {
    if (w.id == window) return w.name;
  }
  return "";
}

bool Screen::CloseWindow(uint64_t window) {
  if (display_) return false;
  const auto it = std::find_if(windows_.begin(), windows_.end(), [window](const Placed& w) { return w.id == window; });
  if (it == windows_.end()) return false;
  windows_.erase(it);
  if (foreground_ == window) foreground_ = kFrameWindow;
  return true;
}

void Screen::SetFrame(const CRect& rect, std::function<void(Bitmap&)> paint) {
  frameRect_ = rect;
  paintFrame_ = std::move(paint);
}

uint64_t Screen::PlaceWindow(const CRect& rect, COLORREF color, const std::string& name) {
  windows_.push_back(Placed{nextId_, name, rect, color, 0});
  return nextId_++;
}

bool Screen::BringToFront(const std::string& name, uint64_t atMs) {
  for (Placed& w : windows_) {
    if (w.name == name) {
      w.frontAt = std::max<uint64_t>(atMs, 1);
      return true;
    }
  }
  return false;
}

void Screen::Compose(Bitmap& desktop, uint64_t nowMs) {
  ForegroundWindow(nowMs);
  FillRect(desktop, DesktopRect(), kDesktopColor);
  if (!frameMinimized_ && frameRect_.right > frameRect_.left && frameRect_.bottom > frameRect_.top) {
    Bitmap frame;
    frame.width = frameRect_.right - frameRect_.left;
    frame.height = frameRect_.bottom - frameRect_.top;
    frame.pixels.assign(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height), 0xFFFFFF);
    if (paintFrame_) paintFrame_(frame);
    BitBlt(desktop, frameRect_.left, frameRect_.top, frame.width, frame.height, frame, 0, 0);
  }
  for (const Placed& w : windows_) FillRect(desktop, w.rect, w.color);
}

BitmapPtr Screen::Grab(const CRect& rect) {
  const CRect r = Clip(rect, DesktopRect());
  if (r.right <= r.left || r.bottom <= r.top) return nullptr;
  if (display_) return GrabX(r);
  const CRect d = DesktopRect();
  Bitmap desktop;
  desktop.width = d.right;
  desktop.height = d.bottom;
  desktop.pixels.assign(static_cast<size_t>(d.right) * static_cast<size_t>(d.bottom), 0);
  Compose(desktop, nowMs_);
  auto out = std::make_unique<Bitmap>();
  out->width = r.right - r.left;
  out->height = r.bottom - r.top;
  out->pixels.assign(static_cast<size_t>(out->width) * static_cast<size_t>(out->height), 0);
  BitBlt(*out, 0, 0, out->width, out->height, desktop, r.left, r.top);
  return out;
}

BitmapPtr Screen::GrabX(const CRect& r) {
  Display* d = X(display_);
  XImage* image = x11_->XGetImage(d, DefaultRootWindow(d), r.left, r.top, static_cast<unsigned>(r.right - r.left),
                            static_cast<unsigned>(r.bottom - r.top), AllPlanes, ZPixmap);
  if (!image) return nullptr;
  auto out = std::make_unique<Bitmap>();
  out->width = image->width;
  out->height = image->height;
  out->pixels.resize(static_cast<size_t>(out->width) * static_cast<size_t>(out->height));
  // The channel masks give where red, green and blue lie in a pixel value.
  auto shiftOf = [](unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
      mask >>= 1;
      ++shift;
    }
    return shift;
  };
  const int rs = shiftOf(image->red_mask), gs = shiftOf(image->green_mask), bs = shiftOf(image->blue_mask);
  for (int y = 0; y < image->height; ++y) {
    uint32_t* row = out->Row(y);
    for (int x = 0; x < image->width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      row[x] = static_cast<uint32_t>(((p & image->red_mask) >> rs & 255) << 16 |
                                     ((p & image->green_mask) >> gs & 255) << 8 | ((p & image->blue_mask) >> bs & 255));
    }
  }
  XDestroyImage(image);
  return out;
}

}  // namespace plat
