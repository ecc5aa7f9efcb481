// The document's archive fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// An outside program, looked up on PATH when it is first asked for and then
// remembered: a start that packs and unpacks nothing searches PATH for nothing.
class COutsideProgram {
 public:
  explicit COutsideProgram(const char* name) : name_(name) {}
  // The program's full host path; "" when there is none.
  const std::string& Path() const;
  bool Present() const { return !Path().empty(); }
  // Looks again when next asked.
  void Forget() { looked_ = false; }

 private:
  const char* name_;
  mutable std::string path_;
  mutable bool looked_ = false;
};

// The outside unzip program as the document holds it: a function that runs it with
// an argument vector, no file it writes past fileSizeLimit bytes (-1: no limit), and
// returns its exit code (-1 when it was killed); empty when no unzip program exists.
// Looked up when first asked for; assigning nullptr (or a function) decides it
// without a lookup.
class CUnzipEntry {
 public:
  using Run = std::function<int(const std::vector<std::string>& args, int64_t fileSizeLimit)>;
  CUnzipEntry& operator=(std::nullptr_t) { return *this = Run(); }
  CUnzipEntry& operator=(Run run) {
    run_ = std::move(run);
    decided_ = true;
    return *this;
  }
  explicit operator bool() const { return static_cast<bool>(Get()); }
  int operator()(const std::vector<std::string>& args, int64_t fileSizeLimit) const { return Get()(args, fileSizeLimit); }
  // Looks again when next asked.
  void Forget() {
    decided_ = false;
    program_.Forget();
  }

 private:
  const Run& Get() const;
  COutsideProgram program_{"unzip"};
  mutable Run run_;
  mutable bool decided_ = false;
};

struct ArchiveState {
  CUnzipEntry m_pfnUnZip;
  int m_bUtf8Names = 0;     // member names read by the own ZIP reader are UTF-8
  int m_bEncryptNames = 0;  // new protected files get enciphered names
  // The outside programs that pack: zip and lha, which is asked on first use whether
  // it can create archives (-1 not asked yet, 0 no, 1 yes).
  COutsideProgram m_zipProgram{"zip"};
  std::string m_strLhaProgram;
  int m_nLhaCanCreate = -1;
  int m_bLhaSjisOption = 0;  // the lha program converts names from and to Shift-JIS ("y")
};
