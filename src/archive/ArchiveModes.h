// The modes of the archive operations (their first or last argument). Code passes and
// compares these names, never bare numbers; ConvertSource's are in SourceMode.h.
#pragma once

// CQelDoc::CompressToZip: what is packed, and where the archive goes.
enum CompressMode : int {
  kCompressZip = 0,        // the list's current file or folder into NAME.zip beside it, made current
  kCompressBmz = 1,        // the current file into NAME.bmz (its extension replaced)
  kCompressWorkBmp = 2,    // the document's BMP work copy into TMP\Pelnor1.bmz
  kCompressRtz = 3,        // the current file into NAME.rtz (its extension replaced), made current
  kCompressWorkRtf = 4,    // the document's RTF work copy packed over the document's file
  kCompressArchTmp = 5,    // TMP\ARCHTMP's files into TMP\ARCHTMP\temp.zip
  kCompressZipQuiet = 10,  // kCompressZip, the views left as they are
};

// CQelDoc::WriteArchive: the archive's form and how its name is made.
enum PackMode : int {
  kPackLzh = 0,       // LZH through the lha program; a made name gets ".lzh"
  kPackZip = 1,       // ZIP; a made name gets ".zip"
  kPackZipNamed = 2,  // ZIP under the given name as it stands
};

// CQelDoc::ExtractZip: who unpacks a ZIP archive on the disk.
enum ExtractMode : int {
  kExtractOwn = 0,      // the own codec only
  kExtractProgram = 1,  // the outside unzip program when there is one, else the own codec
  kExtractCommand = 3,  // the same, as the unpack command and the source conversions ask it
};

// CQelDoc::ProcessLzh.
enum LzhMode : int {
  kLzhUnpack = 0,  // the archive into the folder
  kLzhPack = 1,    // the folder's contents into the archive (the lha program)
};

// CQelDoc::CipherFileName.
enum NameCipherMode : int {
  kNameEncipher = 0,
  kNameDecipher = 1,
};
