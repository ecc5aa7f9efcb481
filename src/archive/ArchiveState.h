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
  // The outside programs that pack: zip (empty when absent) and lha, which is asked
  // on first use whether it can create archives (-1 not asked yet, 0 no, 1 yes).
  std::string m_strZipProgram;
  std::string m_strLhaProgram;
  int m_nLhaCanCreate = -1;
  int m_bLhaSjisOption = 0;  // the lha program converts names from and to Shift-JIS ("y")
};
