#include "platform/inet/CurlLibrary.h"

#include "platform/os/SharedLibrary.h"
#include "platform/os/Sonames.h"

namespace plat {

const CurlFunctions* Curl(std::string* why) {
  static const LoadedLibrary<CurlFunctions> loaded = [] {
    LoadedLibrary<CurlFunctions> l;
    SharedLibrary so(kCurlSoname);
    CurlFunctions& f = l.functions;
    l.ok = so.Resolve("curl_global_init", f.curl_global_init) && so.Resolve("curl_easy_init", f.curl_easy_init) &&
           so.Resolve("curl_easy_setopt", f.curl_easy_setopt) && so.Resolve("curl_easy_getinfo", f.curl_easy_getinfo) &&
           so.Resolve("curl_easy_pause", f.curl_easy_pause) && so.Resolve("curl_easy_strerror", f.curl_easy_strerror) &&
           so.Resolve("curl_easy_cleanup", f.curl_easy_cleanup) && so.Resolve("curl_multi_init", f.curl_multi_init) &&
           so.Resolve("curl_multi_add_handle", f.curl_multi_add_handle) &&
           so.Resolve("curl_multi_remove_handle", f.curl_multi_remove_handle) &&
           so.Resolve("curl_multi_perform", f.curl_multi_perform) && so.Resolve("curl_multi_poll", f.curl_multi_poll) &&
           so.Resolve("curl_multi_timeout", f.curl_multi_timeout) &&
           so.Resolve("curl_multi_info_read", f.curl_multi_info_read) &&
           so.Resolve("curl_multi_cleanup", f.curl_multi_cleanup) && so.Resolve("curl_slist_append", f.curl_slist_append) &&
           so.Resolve("curl_slist_free_all", f.curl_slist_free_all) && so.Resolve("curl_url", f.curl_url) &&
           so.Resolve("curl_url_set", f.curl_url_set) && so.Resolve("curl_url_get", f.curl_url_get) &&
           so.Resolve("curl_url_cleanup", f.curl_url_cleanup) && so.Resolve("curl_free", f.curl_free);
    l.error = so.Error();
    if (l.ok && f.curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
      l.ok = false;
      l.error = "libcurl could not be initialised";
    }
    return l;
  }();
  return loaded.Get(why);
}

}  // namespace plat
