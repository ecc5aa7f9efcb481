// The modes of the archive operations. Each operation takes its own scoped mode, so
// a number, or another operation's mode, does not compile where a mode is meant;
// ConvertSource's are in SourceMode.h. The values are the operations' own numbers.
#pragma once

#include <string>
#include <utility>

// CQelDoc::CompressToZip: what is packed, and where the archive goes.
enum class CompressMode : int {
  kZip = 0,        // the list's current file or folder into NAME.zip beside it, made current
  kBmz = 1,        // the current file into NAME.bmz (its extension replaced)
  kWorkBmp = 2,    // the document's BMP work copy into TMP\Pelnor1.bmz
  kRtz = 3,        // the current file into NAME.rtz (its extension replaced), made current
  kWorkRtf = 4,    // the document's RTF work copy packed over the document's file
  kArchTmp = 5,    // TMP\ARCHTMP's files into TMP\ARCHTMP\temp.zip
  kZipQuiet = 10,  // kZip, the views left as they are
};

// CQelDoc::WriteArchive: the archive's form.
enum class PackMode : int {
  kLzh = 0,  // LZH through the lha program; a made name gets ".lzh"
  kZip = 1,  // ZIP; a made name gets ".zip"
};

// CQelDoc::WriteArchive: the archive's name, as given or made from the first source
// (a trailing separator made '_', the form's extension added).
class PackName {
 public:
  static PackName Given(std::string path) { return PackName(std::move(path)); }
  static PackName FromSource() { return PackName(""); }
  bool made() const { return path_.empty(); }
  const std::string& path() const { return path_; }

 private:
  explicit PackName(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

// CQelDoc::WriteArchive: whether a failure the pack did not say yet is said.
enum class PackMessages : int {
  kShow = 0,
  kQuiet = 1,
};

// CQelDoc::ZipCompress: who packs.
enum class ZipPacker : int {
  kProgramOrOwn = 0,  // the outside zip program when there is one and the names are ASCII
  kOwn = 1,           // the own writer
};

// CQelDoc::ExtractZip: what becomes of a file already where a member goes.
enum class ExtractOverwrite : int {
  kAsk = 0,      // replaced only after Yes to the overwrite question (the user's unpack)
  kReplace = 1,  // replaced without asking (a work folder of the program's own)
};

// CQelDoc::ExtractZip: who unpacks a ZIP archive on the disk.
enum class ExtractMode : int {
  kOwn = 0,      // the own codec only
  kProgram = 1,  // the outside unzip program when there is one, else the own codec
  kCommand = 3,  // the same, as the unpack command and the source conversions ask it
};

// CQelDoc::ProcessLzh.
enum class LzhMode : int {
  kUnpack = 0,  // the archive into the folder
  kPack = 1,    // the folder's contents into the archive (the lha program)
};

// CQelDoc::CipherFileName.
enum class CipherDirection : int {
  kEncipher = 0,
  kDecipher = 1,
};

// CQelDoc::TranslateFileName: the form a path is turned into.
enum class NameForm : int {
  kStored = 0,  // "base@Enc.ext" to "#~$_" + cipher text + ".ext"
  kPlain = 1,   // back
};
