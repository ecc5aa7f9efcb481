// The document's archive fields.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ArchiveState {
  // The outside unzip program, looked up once when the document is made: runs it with
  // an argument vector and returns its exit code. Empty when no unzip program exists.
  std::function<int(const std::vector<std::string>& args)> m_pfnUnZip;
  int m_bUtf8Names = 0;     // member names read by the own ZIP reader are UTF-8
  int m_bEncryptNames = 0;  // new protected files get enciphered names
  int m_bZipError = 0;      // set by the codec on an error that it does not throw
};
