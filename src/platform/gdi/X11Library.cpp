#include "platform/gdi/X11Library.h"

#include "platform/os/SharedLibrary.h"
#include "platform/os/Sonames.h"

namespace plat {

const X11Functions* X11() {
  static const LoadedLibrary<X11Functions> loaded = [] {
    LoadedLibrary<X11Functions> l;
    SharedLibrary so(kX11Soname);
    X11Functions& f = l.functions;
    l.ok = so.Resolve("XOpenDisplay", f.XOpenDisplay) && so.Resolve("XCloseDisplay", f.XCloseDisplay) &&
           so.Resolve("XSetErrorHandler", f.XSetErrorHandler) && so.Resolve("XGetInputFocus", f.XGetInputFocus) &&
           so.Resolve("XGetWindowAttributes", f.XGetWindowAttributes) &&
           so.Resolve("XTranslateCoordinates", f.XTranslateCoordinates) && so.Resolve("XGetImage", f.XGetImage) &&
           so.Resolve("XQueryTree", f.XQueryTree) && so.Resolve("XFree", f.XFree) &&
           so.Resolve("XGrabPointer", f.XGrabPointer) && so.Resolve("XUngrabPointer", f.XUngrabPointer) &&
           so.Resolve("XCheckWindowEvent", f.XCheckWindowEvent) && so.Resolve("XFlush", f.XFlush);
    l.error = so.Error();
    if (!l.ok) ReportLibraryError(l.error);
    return l;
  }();
  return loaded.Get(nullptr);
}

}  // namespace plat
