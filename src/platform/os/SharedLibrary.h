// A shared library opened on first use and its functions resolved by name. The
// program links none of the large libraries that only some files need (FFmpeg,
// ALSA, libX11, libcurl): each is opened by its soname the first time one of its
// functions is wanted, so a start that never needs them pays nothing for them.
// A library stays loaded for the rest of the process.
#pragma once

#include <string>

namespace plat {

class SharedLibrary {
 public:
  // Opens the library named by its soname; on failure Error() has the system's text.
  explicit SharedLibrary(const char* soname);
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool IsOpen() const { return handle_ != nullptr; }
  const std::string& Error() const { return error_; }

  // Resolves `symbol` into `slot`; false (with the system's text in Error()) when
  // the library is not open or lacks the symbol.
  template <class Function>
  bool Resolve(const char* symbol, Function& slot) {
    void* address = Find(symbol);
    slot = reinterpret_cast<Function>(address);
    return address != nullptr;
  }

 private:
  void* Find(const char* symbol);

  void* handle_ = nullptr;
  std::string error_;
};

// A library's table of functions once loaded, or the reason it could not be.
template <class Table>
struct LoadedLibrary {
  Table functions{};
  std::string error;
  bool ok = false;

  // The table, or nullptr with the reason in *why (when given).
  const Table* Get(std::string* why) const {
    if (!ok && why) *why = error;
    return ok ? &functions : nullptr;
  }
};

// Tells standard error once why a library could not be loaded, for callers whose
// own failure report (an MCI error number, a fall-back) has no room for the text.
void ReportLibraryError(const std::string& error);

}  // namespace plat
