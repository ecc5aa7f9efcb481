// libX11, opened on first use: the functions the screen calls.
#pragma once

#include <X11/Xlib.h>

namespace plat {

struct X11Functions {
  decltype(&::XOpenDisplay) XOpenDisplay;
  decltype(&::XCloseDisplay) XCloseDisplay;
  decltype(&::XSetErrorHandler) XSetErrorHandler;
  decltype(&::XGetInputFocus) XGetInputFocus;
  decltype(&::XGetWindowAttributes) XGetWindowAttributes;
  decltype(&::XTranslateCoordinates) XTranslateCoordinates;
  decltype(&::XGetImage) XGetImage;
  decltype(&::XQueryTree) XQueryTree;
  decltype(&::XFree) XFree;
  // The clicked-window capture's pointer grab.
  decltype(&::XGrabPointer) XGrabPointer;
  decltype(&::XUngrabPointer) XUngrabPointer;
  decltype(&::XCheckWindowEvent) XCheckWindowEvent;
  decltype(&::XFlush) XFlush;
};

// The table, loaded on the first call; nullptr when libX11 or one of its functions
// is missing (the system's text goes to standard error once).
const X11Functions* X11();

}  // namespace plat
