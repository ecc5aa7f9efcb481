// The file system boundary. Paths inside the program are Windows paths: CP932 bytes
// with '\' separators. Here they become POSIX paths: a '\' that is not the trail byte
// of a double-byte character becomes '/', a leading drive "X:" is dropped, and the
// CP932 text becomes UTF-8. When a name does not exist as given, the folder is searched
// for a name that differs only in ASCII case (Windows names are case-insensitive).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Windows path (CP932) to a host path (UTF-8), as written; nullopt when the path is
// not valid CP932 (a name that cannot be expressed is never opened under another).
std::optional<std::string> ToHostPath(std::string_view winPath);

// The host path of winPath with the case-insensitive fallback applied to each part
// that does not exist as given; nullopt as for ToHostPath.
std::optional<std::string> ResolveHostPath(std::string_view winPath);

// Host path (UTF-8) to a Windows path (CP932); characters CP932 cannot express
// become '?' and *exact is set to false.
std::string FromHostPath(std::string_view hostPath, bool* exact = nullptr);

// A CP932 path's separators, lead-byte aware: the index of the last '\' that is a
// separator, or npos.
size_t FindLastSeparator(std::string_view winPath);

struct FileInfo {
  int64_t size = 0;
  int64_t mtime = 0;  // seconds since 1970
  bool isDirectory = false;
  bool isSymlink = false;
  bool readOnly = false;
};

// Status of the path, following a final symbolic link (Stat) or not (LinkStat).
std::optional<FileInfo> Stat(std::string_view winPath);
std::optional<FileInfo> LinkStat(std::string_view winPath);
bool Exists(std::string_view winPath);
bool IsDirectory(std::string_view winPath);
bool SetFileTime(std::string_view winPath, int64_t mtime);
bool SetReadOnly(std::string_view winPath, bool readOnly);

bool MakeDirectory(std::string_view winPath);     // one level; true when it exists afterwards
bool MakeDirectories(std::string_view winPath);   // every missing level
bool RemoveFile(std::string_view winPath);
bool RemoveEmptyDirectory(std::string_view winPath);
bool RenameFile(std::string_view from, std::string_view to);
bool CopyFile(std::string_view from, std::string_view to);

struct DirEntry {
  std::string name;  // CP932
  bool nameExact = true;  // false when the host name holds characters CP932 cannot express, or a '\\'
  bool isDirectory = false;  // never true for a symbolic link
  bool isSymlink = false;
  int64_t size = 0;
  int64_t mtime = 0;
};

// The entries of a folder (without "." and ".."), in host order; nullopt when it
// cannot be read. Symbolic links are reported as links and never followed.
std::optional<std::vector<DirEntry>> ListDirectory(std::string_view winPath);

std::string GetCurrentDirectory();  // Windows path
bool SetCurrentDirectory(std::string_view winPath);

// A value of the environment, or "" when unset.
std::string GetEnv(const char* name);

// A file handle with 64-bit lengths and positions. Reads return what the file holds,
// short at its end.
class File {
 public:
  // WritePrivate creates or truncates a file only its owner can read (plaintext of
  // protected documents), and never through a symbolic link.
  enum class Mode { Read, Write, ReadWrite, Append, WritePrivate };
  enum class Origin { Begin, Current, End };

  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Write creates or truncates; ReadWrite and Read need an existing file.
  bool Open(std::string_view winPath, Mode mode);
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

  // Reads up to n bytes; returns the count read (0 at the end), -1 on an error.
  int64_t Read(void* buf, int64_t n);
  // Writes all n bytes; false on an error.
  bool Write(const void* buf, int64_t n);
  // Moves the position; returns the new position or -1.
  int64_t Seek(int64_t offset, Origin origin);
  int64_t GetPosition() const;
  int64_t GetLength() const;

 private:
  int fd_ = -1;
};

// Reads at most maxBytes from the start of a file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadFileHead(std::string_view winPath, int64_t maxBytes);
// Writes bytes to a file, replacing it.
bool WriteWholeFile(std::string_view winPath, std::string_view bytes);

}  // namespace plat
