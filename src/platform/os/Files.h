// The file system boundary. Paths inside the program are Windows paths: CP932 bytes
// with '\' separators. Here they become POSIX paths: a '\' that is not the trail byte
// of a double-byte character becomes '/', and the CP932 text becomes UTF-8; a path
// with a drive letter ("X:") names no host file and is refused. A name is the name as spelled: a file whose name differs
// only in case is another file, never reached, replaced or asked about in its stead.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Windows path (CP932) to a host path (UTF-8), as written; nullopt when the path is
// not valid CP932 (a name that cannot be expressed is never opened under another) or
// starts with a drive letter.
std::optional<std::string> ToHostPath(std::string_view winPath);

// Host path (UTF-8) to a Windows path (CP932); characters CP932 cannot express
// become '?' and *exact is set to false.
std::string FromHostPath(std::string_view hostPath, bool* exact = nullptr);

// A CP932 path's separators, lead-byte aware: the index of the last '\' that is a
// separator, or npos.
size_t FindLastSeparator(std::string_view winPath);
// winPath without the separators it ends with: a '\' that is the trail byte of a
// double-byte character (the last byte of "ソ" or "表") stays; a root "\" stays.
std::string WithoutTrailingSeparators(std::string winPath);
// A Windows path as the user wrote it, for messages: its separators as '/' (a trail
// byte '\' stays), still CP932; a drive path (R:\...) stays as it is.
std::string ShownPath(std::string_view winPath);

struct FileInfo {
  int64_t size = 0;
  int64_t mtime = 0;  // seconds since 1970
  bool isDirectory = false;
  bool isSymlink = false;
  bool isSpecial = false;  // neither a file, a folder nor a link: a named pipe, a socket, a device
  bool readOnly = false;
  bool ownedByUser = true;  // the file's owner is the user the program runs as
  int permissions = 0;      // the permission bits (0777)
};

// Status of the path, following a final symbolic link (Stat) or not (LinkStat).
std::optional<FileInfo> Stat(std::string_view winPath);
std::optional<FileInfo> LinkStat(std::string_view winPath);
bool Exists(std::string_view winPath);
bool IsDirectory(std::string_view winPath);
// Bytes the user may still write in the file system that holds the path; nullopt
// when it cannot be told.
std::optional<int64_t> FreeSpace(std::string_view winPath);
// The largest file this process may write (its file-size limit); nullopt when unlimited.
std::optional<int64_t> FileSizeLimit();
// The most one file there may grow to: the free space, within the process's file-size
// limit (past which a write fails); nullopt when neither can be told.
std::optional<int64_t> RoomForOneFile(std::string_view winPath);
bool SetFileTime(std::string_view winPath, int64_t mtime);
bool SetReadOnly(std::string_view winPath, bool readOnly);

bool MakeDirectory(std::string_view winPath);     // one level; true when it exists afterwards
bool MakeDirectories(std::string_view winPath);   // every missing level
// One level with the given permission bits; true only when this call made it.
bool MakeDirectoryAsSpelled(std::string_view winPath, unsigned permissions = 0777);
// Makes a new folder only the user can enter, with a unique name starting with
// stem, inside folder; its Windows path, or nullopt.
std::optional<std::string> MakeWorkFolder(std::string_view winFolder, std::string_view stem);
// Removes a file or a folder with everything below it; links are removed as links,
// never followed.
bool RemoveTree(std::string_view winPath);
bool RemoveFile(std::string_view winPath);
bool RemoveEmptyDirectory(std::string_view winPath);
bool RenameFile(std::string_view from, std::string_view to);
// Renames a finished work file (named as this program spells it) onto a target, as a
// save replaces a file: a regular file it replaces passes its permission bits (0777)
// on, so that a save never changes who may read, write or run the user's file
// (keepMode false leaves the work file's own). A write-protected file is never
// replaced (false, errno EACCES): every writer that goes beside and renames passes here.
bool ReplaceByRename(std::string_view workPath, std::string_view winTarget, bool keepMode = true);
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
class FolderHandle;

class File {
 public:
  // WritePrivate creates or truncates a file only its owner can read (plaintext of
  // protected documents), and never through a symbolic link.
  // CreateNew makes a file that does not exist yet, never through a symbolic link
  // (work files: a name planted beforehand is refused, not written).
  enum class Mode { Read, Write, ReadWrite, Append, WritePrivate, CreateNew };
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
  // Whether the last failed write found no room: the disk (or the user's quota) is
  // full, or the file passed the size a process may write.
  bool OutOfRoom() const { return outOfRoom_; }
  // Moves the position; returns the new position or -1.
  int64_t Seek(int64_t offset, Origin origin);
  int64_t GetPosition() const;
  int64_t GetLength() const;
  // The open file's modification (and access) time, seconds since 1970.
  bool SetTime(int64_t mtime);
  // Takes the write permission away from the open file (or gives it to the owner).
  bool SetReadOnly(bool readOnly);
  // Sets the open file's permission bits (0777).
  bool SetPermissions(unsigned bits);

 private:
  friend class FolderHandle;
  explicit File(int fd) : fd_(fd) {}
  int fd_ = -1;
  bool outOfRoom_ = false;
};

// A work file beside a target: created new under a unique name in the target's
// folder (never through a link, never over a file), filled, and renamed onto the
// target when complete (ReplaceByRename: a file replaced keeps its permissions,
// unless the work file was given its own); removed when it is not committed.
class WorkFile {
 public:
  WorkFile() = default;
  ~WorkFile();
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  // Creates the work file in folder (a Windows path; "" is the current folder).
  bool Create(std::string_view winFolder);
  // The work file in the folder of target.
  bool CreateBeside(std::string_view winTarget);
  File& Out() { return file_; }
  const std::string& Path() const { return path_; }
  // The permission bits the committed file has, whatever the file it replaces had.
  bool SetPermissions(unsigned bits);
  // Closes the file and renames it onto target.
  bool CommitAs(std::string_view winTarget);
  // Closes and removes the work file.
  void Discard();

 private:
  File file_;
  std::string path_;
  bool ownPermissions_ = false;
};

// Reads at most maxBytes from the start of a file; nullopt when it cannot be opened or
// read. A file that tells no length (a pipe, a device, a file of /proc) is read to
// its end within maxBytes.
std::optional<std::string> ReadFileHead(std::string_view winPath, int64_t maxBytes);
// The same from an open file's position.
std::optional<std::string> ReadToEnd(File& file, int64_t maxBytes);
// Opens winPath as a new work file in a folder of the run's own: whatever the name
// held (a file, a link) is removed, never written through, and the file is made new
// (O_CREAT|O_EXCL|O_NOFOLLOW). A user's file is written by WorkFile or ReplaceWholeFile.
bool CreateWorkFile(File& file, std::string_view winPath);
// Writes bytes to a new work file (CreateWorkFile).
bool WriteWholeFile(std::string_view winPath, std::string_view bytes);
// Writes bytes to a work file beside winPath with the permission bits given and
// renames it onto winPath only when it is whole, so that a failure (a full disk)
// leaves an earlier file as it was; false on failure, the system's reason (UTF-8) in
// *why and its errno value in *error. With kKeepPermissions a file replaced keeps
// its bits and a new one gets those of any new file.
constexpr unsigned kKeepPermissions = ~0u;
bool ReplaceWholeFile(std::string_view winPath, std::string_view bytes, unsigned permissions = kKeepPermissions,
                      std::string* why = nullptr, int* error = nullptr);

}  // namespace plat
