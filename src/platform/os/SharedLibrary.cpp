#include "platform/os/SharedLibrary.h"

#include <dlfcn.h>

#include <cstdio>

namespace plat {

namespace {

std::string LastDlError(const char* fallback) {
  const char* text = dlerror();
  return text ? text : fallback;
}

}  // namespace

SharedLibrary::SharedLibrary(const char* soname) {
  // The handle is never closed: the resolved functions are used until the process ends.
  handle_ = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (!handle_) error_ = LastDlError(soname);
}

void* SharedLibrary::Find(const char* symbol) {
  if (!handle_) return nullptr;
  dlerror();
  void* address = dlsym(handle_, symbol);
  if (!address) error_ = LastDlError(symbol);
  return address;
}

void ReportLibraryError(const std::string& error) {
  if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
}

}  // namespace plat
