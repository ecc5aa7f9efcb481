// The internet layer's failure: a WinInet-style error number and a text for the
// error box. The text names the operation and the server's or library's reason; it
// never holds a password (passwords reach libcurl only as options).
#pragma once

#include <cstdint>
#include <string>

enum : uint32_t {
  ERROR_INTERNET_TIMEOUT = 12002,
  ERROR_INTERNET_EXTENDED_ERROR = 12003,
  ERROR_INTERNET_INVALID_URL = 12005,
  ERROR_INTERNET_NAME_NOT_RESOLVED = 12007,
  ERROR_INTERNET_LOGIN_FAILURE = 12015,
  ERROR_INTERNET_OPERATION_CANCELLED = 12017,
  ERROR_INTERNET_CANNOT_CONNECT = 12029,
  ERROR_INTERNET_CONNECTION_ABORTED = 12030,
  ERROR_INTERNET_CONNECTION_RESET = 12031,
  ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152,
};

class CInternetException {
 public:
  CInternetException(uint32_t error, std::string reason) : m_dwError(error), m_strReason(std::move(reason)) {}
  // The error box text (CP932).
  std::string GetErrorMessage() const;

  uint32_t m_dwError;
  std::string m_strReason;  // UTF-8: the library's text, or the server's reply line
};

namespace plat {
// The error number of a libcurl result.
uint32_t InetErrorOfCurl(int curlCode);
}  // namespace plat
