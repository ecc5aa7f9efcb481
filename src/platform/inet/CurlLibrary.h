// libcurl, opened on first use: the functions the internet layer calls.
#pragma once

#include <curl/curl.h>

#include <string>

namespace plat {

struct CurlFunctions {
  decltype(&::curl_global_init) curl_global_init;
  decltype(&::curl_easy_init) curl_easy_init;
  decltype(&::curl_easy_setopt) curl_easy_setopt;
  decltype(&::curl_easy_getinfo) curl_easy_getinfo;
  decltype(&::curl_easy_pause) curl_easy_pause;
  decltype(&::curl_easy_strerror) curl_easy_strerror;
  decltype(&::curl_easy_cleanup) curl_easy_cleanup;
  decltype(&::curl_multi_init) curl_multi_init;
  decltype(&::curl_multi_add_handle) curl_multi_add_handle;
  decltype(&::curl_multi_remove_handle) curl_multi_remove_handle;
  decltype(&::curl_multi_perform) curl_multi_perform;
  decltype(&::curl_multi_poll) curl_multi_poll;
  decltype(&::curl_multi_timeout) curl_multi_timeout;
  decltype(&::curl_multi_info_read) curl_multi_info_read;
  decltype(&::curl_multi_cleanup) curl_multi_cleanup;
  decltype(&::curl_slist_append) curl_slist_append;
  decltype(&::curl_slist_free_all) curl_slist_free_all;
  decltype(&::curl_url) curl_url;
  decltype(&::curl_url_set) curl_url_set;
  decltype(&::curl_url_get) curl_url_get;
  decltype(&::curl_url_cleanup) curl_url_cleanup;
  decltype(&::curl_free) curl_free;
};

// The table, loaded (and libcurl initialised) on the first call; nullptr when
// libcurl or one of its functions is missing, with the system's text in *why.
const CurlFunctions* Curl(std::string* why = nullptr);

}  // namespace plat
