// The main road of the dump: the work tables, the road chosen by the working kind,
// the common end and the release step. The roads are tables, one line per road, in
// the order the working kind is tried; a road of this system that is not in this
// build stands as a null entry, and a file that reaches one is reported as a format
// that is not read (string 210) unless a plain copy was already made.
#include <algorithm>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "convert/dump/DumpCall.h"

namespace {

enum class RoadEnd { Continue, Common, Release };
using RoadRun = RoadEnd (*)(CQelDoc& doc, DumpCall& call);

struct DumpRoad {
  bool (*takes)(int kind);
  RoadRun run;  // null: the road is not in this build
};

constexpr bool IsMediaKind(int k) { return k >= 51 && k <= 58; }

// Before the file is opened: Office Open XML packages (with their own reading).
constexpr DumpRoad kPackageRoads[] = {
    {[](int k) { return k == 37; }, nullptr},  // word-processing document
    {[](int k) { return k == 38; }, nullptr},  // presentation
};

// Compound-file and old binary Office detection and loading (may change the kind).
constexpr RoadRun kCompoundStage = nullptr;

// After the file is read and closed, on the whole input.
constexpr DumpRoad kWholeInputRoads[] = {
    {[](int k) { return k == 36; }, nullptr},  // XLSX reader fills the cell tables, then the sheet road
    {[](int k) { return k == 32; }, nullptr},  // mail message
    {IsMediaKind, [](CQelDoc& d, DumpCall& c) { d.DumpMediaInfo(c); return RoadEnd::Release; }},
    {[](int k) { return k == 33; }, [](CQelDoc& d, DumpCall& c) { d.DumpCsvTable(c); return RoadEnd::Release; }},
};

// A text converter's result becomes the write position, within the buffer.
RoadEnd TextRoad(CQelDoc& doc, int position) {
  doc.m_nConvPos = std::clamp(position, 0, std::max(doc.m_nConvCap - 1, 0));
  return RoadEnd::Common;
}

// On the input cut to the read size: the document roads.
constexpr DumpRoad kDocumentRoads[] = {
    {[](int k) { return k == 1; }, nullptr},                       // binary presentation
    {[](int k) { return k == 2 || k == 32 || k == 42; }, nullptr},  // binary Word
    {[](int k) { return k == 3 || k == 36; }, nullptr},             // binary Excel and sheet output
    {[](int k) { return k == 4 || k == 34; }, nullptr},             // word-format filter
};

// Then the text converters.
constexpr DumpRoad kTextRoads[] = {
    {[](int k) { return k == 11; }, [](CQelDoc& d, DumpCall& c) { return TextRoad(d, d.DumpPdf(c)); }},  // PDF
    {[](int k) { return k == 6; }, [](CQelDoc& d, DumpCall& c) { return TextRoad(d, d.ConvertHtmlToText(c.bTableRules, d.m_nRawLen)); }},
    {[](int k) { return k == 34; }, [](CQelDoc& d, DumpCall& c) { return TextRoad(d, d.ConvertXmlSheetToText(c.bTableRules, d.m_nRawLen)); }},
};

// Runs the first road of the table that takes the kind.
template <size_t N>
RoadEnd RunRoad(const DumpRoad (&roads)[N], CQelDoc& doc, DumpCall& call) {
  for (const DumpRoad& road : roads) {
    if (!road.takes(call.kind)) continue;
    if (!road.run) {
      call.roadAbsent = true;
      return RoadEnd::Continue;
    }
    return road.run(doc, call);
  }
  return RoadEnd::Continue;
}

}  // namespace

bool CQelDoc::RunPackageRoad(DumpCall& call) {
  if (m_nDisplayForm == 2) return false;
  if (RunRoad(kPackageRoads, *this, call) == RoadEnd::Continue) return false;
  m_nTextLen = m_nConvPos;
  m_nRawLen = m_nConvPos;
  return true;
}

int CQelDoc::RunDumpRoads(DumpCall& call) {
  // The string matrices and the work arrays of the table-producing roads.
  const bool oneRow = m_nFileKind == 9 || m_nFileKind == 34 || m_nFileKind == 98 || m_nFileKind == 99;
  call.cellChars = (m_nFileKind == 11 ? 512 : m_nCharLimit) + 10;
  call.cellRows = (oneRow ? 1 : m_nTableRows) + 290;
  call.cell2Chars = m_nCharLimit + 6;
  call.cell2Bytes = oneRow ? 10 : m_nTableRowsR;
  const char* failure = nullptr;
  if (!plat::TryResize(call.cells, static_cast<size_t>(call.cellChars) * call.cellRows, &m_allocHook)) {
    failure = " 003";
  } else if (!plat::TryResize(call.cells2, static_cast<size_t>(call.cell2Chars) * call.cell2Bytes, &m_allocHook)) {
    failure = " 004";
  } else {
    const auto rows = static_cast<size_t>(m_nTableRows);
    bool ok = plat::TryResize(call.workBytes, rows, &m_allocHook);
    for (auto& ints : call.workInts) ok = ok && plat::TryResize(ints, rows, &m_allocHook);
    if (!ok) failure = " 005";
  }
  if (failure) {
    m_nConvPos = 0;
    ConvAppend(LoadString(IDS_OUT_OF_MEMORY));
    ConvAppend(failure);
    return FinishDump(call);
  }

  // Binary display: the text view draws the block; only the cursor is placed.
  if (m_nDisplayForm == 1) {
    if (m_nDumpBlock < 0) m_nDumpBlock = static_cast<int>(std::min<int64_t>(m_nRawLen / 65536, INT32_MAX));
    m_nRawPos = static_cast<int64_t>(m_nDumpBlock) * 65536;
    if (m_nRawPos > m_nRawLen) {
      m_nRawPos = 0;
      m_nDumpBlock = 0;
    }
    m_nConvPos = 0;
    return FinishDump(call);
  }

  // Source display: the bytes as they are.
  if (m_nDisplayForm >= 2 && call.kind > 4 && call.kind != 6 && call.kind != 11 && call.kind != 32 && call.kind != 42) {
    const int64_t volume = static_cast<int64_t>(std::max(m_nInDataLimit, m_nOutDataLimit)) - 2000;
    const int64_t count = std::max<int64_t>(0, std::min({volume, call.readSize, call.bufferSize, call.bytesRead}));
    m_nConvPos = 0;
    const int copied = ConvAppend(std::string_view(reinterpret_cast<const char*>(m_pRawData), static_cast<size_t>(count)));
    if (copied < call.fileLength) m_bPartialLoad = 1;
    return FinishDump(call);
  }

  if (kCompoundStage) {
    if (kCompoundStage(*this, call) == RoadEnd::Release) return FinishDump(call);
  } else if (call.kind >= 1 && call.kind <= 3 && call.bytesRead >= 3 && m_pRawData[0] == 0xD0 &&
             m_pRawData[1] == 0xCF && m_pRawData[2] == 0x11) {
    call.roadAbsent = true;  // a compound Office file: its reader is not in this build
  }
  call.file.Close();

  RoadEnd end = RunRoad(kWholeInputRoads, *this, call);
  if (end == RoadEnd::Continue) {
    // The document roads see the input cut to the read size.
    // (A binary-looking file's copy already carries its note.)
    if (call.fileLength > call.readSize) {
      m_nRawLen = call.readSize;
      call.inputCut = !call.binary;
      m_bPartialLoad = 1;
    }
    m_nRawLen = std::min(m_nRawLen, call.bytesRead);
    if (call.kind < 5 || call.kind == 6) m_nConvPos = 0;
    end = RunRoad(kDocumentRoads, *this, call);
    if (end != RoadEnd::Release) end = RunRoad(kTextRoads, *this, call);
    if (call.roadAbsent && m_nConvPos == 0) ConvAppend(LoadString(IDS_UNSUPPORTED_FORMAT));
    end = end == RoadEnd::Release ? end : RoadEnd::Common;
  }

  if (end == RoadEnd::Common) {
    m_nConvPos = std::clamp(m_nConvPos, 0, std::max(m_nConvCap - 1, 0));
    if (call.inputCut && m_bQuickHead == 0) AppendTruncationNote();
    if (m_nFileKind != 9 && m_nFileKind <= 90 && m_nConvPos > m_nOutDataLimit - 4) {
      m_nConvPos = std::max(m_nOutDataLimit - 4, 0);
      m_bPartialLoad = 1;
    }
    // A text the roads left empty stays empty: no line end of its own.
    if (call.kind < 7 && call.kind != 4 && m_nConvPos > 0) ConvAppend("\r\n");
    if (call.kind != 33 && m_pConvBuf && m_nConvPos < m_nConvCap) m_pConvBuf[m_nConvPos] = '\0';
  }

  // Release step.
  call.file.Close();
  ReleaseRawData();
  if (m_nFileKind == 33 && m_nConvPos > m_nRawLen) m_nRawLen = m_nConvPos;
  return m_nConvPos;
}
