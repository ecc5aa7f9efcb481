// One PDF conversion: the file's bytes are scanned linearly with fixed patterns (no
// parse tree, no cross-reference table). Object streams are unpacked and appended
// to the raw bytes, every object is indexed and classified (fonts, images), and a
// depth-first walk from the document root follows the page tree; each content
// stream is decoded and interpreted, and its text placed on a character canvas of
// 512 columns by 300 lines a page by its page position. The canvas is written out
// line by line at the end. The source display lists the file with its streams
// decoded instead.
//
// Limits: object numbers 1 to 49,151; decoded streams at most the stream capacity;
// a reference stack of 2,000 entries; a step budget bounds the walk, and an object
// already on the walk's path is never entered again (cycles in the page tree, forms
// that draw themselves). Bad data becomes a note in the text, never a crash.
#pragma once

#include <array>
#include <memory>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "codec/CodecServices.h"
#include "base/ConvertStatus.h"
#include "convert/pdf/PdfScan.h"
#include "convert/pdf/PdfContent.h"
#include "convert/pdf/PdfTokenizer.h"

// The picture modes of the PDF picture writers beside the image loader's own: a
// 1-bit picture with the palette white, black, and CCITT data whose TIFF header
// says white (or black) is zero.
enum PdfPictureMode : int {
  kPdfCcittBlackIsZero = -2,
  kPdfCcittWhiteIsZero = -1,
  kPdfOneBitWhiteBlack = 99,
};

class CQelDoc;
class DisplayWriter;
class PdfContent;
struct DumpCall;

// Classification bits of an object (PdfObjectFlags).
enum : uint16_t {
  kPdfVertical = 0x0001,
  kPdfType1 = 0x0010,
  kPdfUniJis = 0x0020,
  kPdfType1Unicode = 0x0040,
  kPdfSimpleFont = 0x0080,
  kPdfDifferences = 0x008F,
};

// A font's code map holds every one- and two-byte code.
constexpr uint32_t kPdfCodeMapSize = 65536;
// A CMap whose ranges give one-byte codes keeps them a second time from this entry
// on (PdfBuildCodeMap's result then has bit 2): such a font reads single bytes.
constexpr uint32_t kPdfSingleByteCodes = 3840;

class PdfReader {
 public:
  PdfReader(CQelDoc& doc, DumpCall& call);
  // Writes the display text from position 0 (its length in the document's write
  // position); a failure that ends the conversion is returned for the frame to write.
  ConvertStatus Run();

  // Stream kinds and pre-filters.
  enum StreamKind { kNone = 0, kFlate = 1, kDct = 2, kRawImage = 5, kCcitt = 6, kLzw = 7, kFlateDct = 8, kJbig2 = 9, kJpx = 12 };

 private:
  // Preparation (PdfPrepare.cpp).
  bool AllocateBuffers();
  bool GrowStreamBuffers(int64_t need);
  int64_t StreamRoom() const;
  void FillCanvas();
  void UnpackObjectStreams();
  void AppendObjectStream(int64_t at);
  void IndexObjects();
  // A filter name or /MediaBox after the byte before s; true when it was one.
  bool IndexFilterOrBox(int64_t s, int current);
  // The name after the slash at i, recorded for the current object; false at /Encrypt.
  bool IndexName(int64_t i, int current);

  // The walk (PdfWalk.cpp).
  void Walk(int64_t start);
  void WalkByte(uint8_t c);
  void WalkName();
  void ObjectStart();
  void StartPage();
  void ReadMediaBox(int64_t after);  // the page extent from the bytes after "/MediaBox"
  void ReadResourceDict(bool fonts);
  // The name after the slash at or after at (within 10 bytes), and the byte after it.
  std::string ResourceNameAt(int64_t at, int64_t* end) const;
  void SkipInlineDictionary();
  static int NormalRotation(int value);
  int InheritedRotation(int64_t start);  // /Rotate of the page at start or of the nearest /Pages above it
  void EndObject();
  void Pop();
  bool EnterObject(int object);  // pushes the current position and jumps; false when refused
  bool OnPath(int object) const;
  void StartStream();
  const uint8_t* DecodeStream(const uint8_t* data, int64_t length, int64_t* size);
  // ASCII85 or LZW data decoded into the collect buffer; null when nothing came out.
  const uint8_t* PreDecode(const uint8_t* data, int64_t* length, bool lzw);
  void StreamNote(int64_t result, int64_t size);
  PdfContent::Matrix FormMatrix(int object);
  void CanvasNote(const std::string& text);
  ConvertStatus Close();
  void WriteCanvas(DisplayWriter& out);
  std::string CanvasFullNote();  // the note of a full canvas; marks the load partial
  void PrepareSeparator(int line, int page);
  char* Cell(int column, int line);

  // Pictures (PdfPictures.cpp).
  void ShowSelectedImage(int64_t at, int64_t length);  // the stream data at `at` in the raw bytes
  void ReadImageColours(int64_t from, int64_t to);
  void ReadPalette(int64_t at, int64_t to);
  void ReadPredictor(int64_t at, int64_t to);
  static int64_t UndoPngPredictor(uint8_t* data, int64_t length, int64_t width, int bitsPerPixel);

  // Source view (PdfSourceView.cpp).
  struct SourceFlags {
    bool flate = false, image = false;  // set by the names of the current object
    int pre = 0;                        // pre-filter: 1 ASCII85, 2 LZW
    bool compact = false;               // the compact stream form
  };
  void SourceView();
  // A name after '/' or 'e' at p: its flag; true when the byte was written for it.
  bool SourceName(DisplayWriter& out, uint8_t c, int64_t& p, SourceFlags& flags);
  // The stream whose keyword's 't' is at p, listed; the position after its end, or -1
  // when it is no stream to list.
  int64_t SourceStream(DisplayWriter& out, int64_t p, SourceFlags& flags);
  ByteCursor SourceDecode(DisplayWriter& out, ByteCursor body, bool coded, const SourceFlags& flags);
  void SourceHex(DisplayWriter& out, const ByteCursor& shown, bool compact);
  void SourceText(DisplayWriter& out, const ByteCursor& shown);

 public:
  ~PdfReader();
  // Canvas cells, bounded (column 0 to 511).
  uint8_t GetCell(int column, int line);
  // A cell holding 0 (as allocated) or 7 (emptied) holds no character.
  static constexpr uint8_t kEmptyCell = 7;
  bool IsEmpty(int column, int line) { return GetCell(column, line) <= kEmptyCell; }
  void SetCell(int column, int line, uint8_t byte);
  // A form drawn with Do: walked after the current object, unless it draws itself.
  void EnterForm(int object);
  // The code map of a font's ToUnicode CMap or Differences encoding at position:
  // 0 when nothing was stored, else 1, or 3 when one-byte codes were copied.
  int PdfBuildCodeMap(int64_t position, std::vector<uint16_t>& map, unsigned flags);
  int BuildDifferences(int64_t position, std::vector<uint16_t>& map);

  CQelDoc& doc;
  DumpCall& call;
  ByteCursor raw;  // the file bytes, with the objects pass 1 appends
  int64_t& pos;  // the document's shared cursor
  PdfTokenizer tok;
  PdfWordFinder endstream_{"endstream"};  // every stream's end is found through it
  CBufferInflater inflater;

  // Tables of the conversion.
  std::vector<int64_t> objectOffsets;   // PdfObjectOffsets
  std::vector<uint16_t> objectFlags;    // PdfObjectFlags
  std::vector<uint16_t> objectRefs;     // PdfObjectRefs
  std::vector<uint8_t> objectKind;      // 1 image, 2 form, 4 Shift-JIS encoding, 8 Identity CIDs, 16 Unicode codes
  std::vector<int> formParent;          // the object whose content drew a form
  std::vector<int> resourceObjects;     // PdfResourceObjects
  std::array<std::unordered_map<std::string, int>, 2> resourceNames;  // fonts, XObjects by name
  PdfPrefixes prefixes{};
  int root = 0;
  bool encrypted = false;
  int64_t pageX2 = 120000, pageY2 = 84500;

  // Stream buffers: the collected bytes and the decoded bytes, C each.
  int64_t capacity = 0;
  std::vector<uint8_t> collect;
  std::vector<uint8_t> stream;

  // Walk state.
  PdfRefStack refs;
  int key = 0;               // current object
  int walkState = 0;         // -1: stop
  int64_t steps = 0, stepBudget = 0;
  std::vector<int> contentList;
  int contentDepth = -1;
  int pageCount = 0;
  int pageBase = 0;
  int pageRotation = 0;
  int streamKind = kNone, preFilter = 0;
  bool imageObject = false;
  int imageWidth = 0, imageHeight = 0, imageBits = 8;
  int imageDepth = 0;        // stack depth of the selected image object (0: none)
  int imageMode = 0;         // the image loader's mode, or kPdfOneBitWhiteBlack
  std::array<uint8_t, 768> palette{};
  bool paletteGiven = false;
  int imageComponents = 0;   // from the colour space; 0 unknown
  int ccittK = 0;
  int predictor = 0, predictorColumns = 1, predictorBits = 8;
  std::unique_ptr<PdfContent> content;

  // Canvas.
  int rows = 0;              // the call's table rows
  int highestLine = 0;
  std::vector<int16_t> lineEnd;  // highest written column of each line
  std::vector<uint8_t> separator;  // 1 for a page separator line
  bool placed = false;           // a character or tag was written
  int64_t outLimit = 0;      // L
};
