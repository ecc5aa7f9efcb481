// Archive member paths on Shift-JIS text, where the second byte of a double-byte
// character may be 0x5C ('\'): every separator test skips such bytes. Also the
// file lists that the archive writers walk, and the reduction of member names to
// paths that stay inside the target folder (codec/MemberPath.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/MemberPath.h"

// '\' separators (outside double-byte characters) become '/', and the path ends with '/'.
std::string NormalizeArchivePath(std::string_view path);
// The folder part: the text before the last '/' that is a separator; "" when none.
std::string SplitArchivePath(std::string_view path);
// Makes the folder (archive form, '/' or '\' separators) and every missing level.
bool MakeDirectoryPath(std::string_view path);
// An existing folder as the file system spells it: absolute (a relative one taken from
// the process's current folder), its links resolved; nullopt when it is no folder.
std::optional<std::string> ResolvedFolder(std::string_view folder);
// path taken relative to folder: folder + '\\' + path, or path itself when it is
// absolute or folder is "" (the process's current folder).
std::string InFolder(std::string_view folder, const std::string& path);

struct FileInfo {
  std::string name;
  int64_t size = -1;  // -1 missing, -2 folder, else bytes
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// One member to be written to a ZIP archive.
struct FileEntry {
  int64_t uncompressedSize = 0;  // -2 marks a folder
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::string name;  // archive form: '/' separators, a folder ends with '/'

  // Status of the path, symbolic links not followed (a link, and a special file such
  // as a named pipe, counts as missing).
  static FileInfo FromPath(std::string_view path);
};

// One member to be written to an LZH archive.
struct ArchiveMember {
  std::string method = "-lh0-";
  std::string folder;
  std::string name;
  std::vector<std::vector<uint8_t>> extendedHeaders;
};

// What a walk of the packers' sources leaves out (paths in archive form, '/'
// separators): symbolic links and special files (named pipes, sockets, devices) are
// never stored; names Shift-JIS cannot express ('?' where a character could not be
// written) cannot be stored under their own names.
struct LeftOut {
  std::vector<std::string> links, specials, unnamed;
};

// The names in a folder without "." and ".."; empty for a path that is not a folder.
// Symbolic links are left out unless withLinks is true (for walkers that note them);
// names Shift-JIS cannot express are left out, and added to unnamed when it is given
// (a folder's with '/' at its end).
std::vector<std::string> ListFolderNames(std::string_view folder, bool withLinks = false,
                                         std::vector<std::string>* unnamed = nullptr);
// The entries of path and, for a folder, of everything below it (a folder with no
// entries at all gives its own entry); links, special files and names that cannot
// be expressed are neither listed nor followed, each is added to leftOut when given.
// A relative path is taken from base, and the entries keep it relative.
void CollectTreeFiles(std::string_view base, std::string_view path, std::vector<FileEntry>& list,
                      LeftOut* leftOut = nullptr);
void BuildArchiveMemberList(std::string_view path, std::vector<ArchiveMember>& list);
