// The main road of the dump: the work tables, the road chosen by the working kind,
// the common end and the release step. The roads are tables, one line per road, in
// the order the working kind is tried; a road of this system that is not in this
// build stands as a null entry, and a file that reaches one is reported as a format
// that is not read (string 210) unless a plain copy was already made.
#include <algorithm>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/CheckedSize.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/DumpSteps.h"

namespace {

// What follows a road that succeeded: the next table, the common end, or the end of
// the call; Sheet: the end of the call when the sheet output made a CSV table.
enum class RoadEnd { Continue, Common, Release, Sheet };
using RoadRun = ConvertStatus (*)(CQelDoc& doc, DumpCall& call);

// A document operation as a road.
template <ConvertStatus (CQelDoc::*Road)(DumpCall&)>
ConvertStatus Op(CQelDoc& doc, DumpCall& call) {
  return (doc.*Road)(call);
}

struct DumpRoad {
  bool (*takes)(int kind);
  RoadRun run;  // null: the road is not in this build
  RoadEnd end;
};

// Before the dump's own reading, in the normal display form: a text file, and a file
// that tells no length (it holds text), shown as its text.
constexpr DumpRoad kTextFileRoads[] = {
    {[](int k) { return k == kKindText; }, DumpTextFile, RoadEnd::Release},
};

// Before the file is opened: Office Open XML packages (with their own reading).
constexpr DumpRoad kPackageRoads[] = {
    {[](int k) { return k == kKindDocx; }, Op<&CQelDoc::ConvertDocx>, RoadEnd::Release},  // word-processing document
    {[](int k) { return k == kKindPptx; }, Op<&CQelDoc::ConvertPptx>, RoadEnd::Release},  // presentation
};

// Compound-file and old binary Office detection and loading (may change the kind);
// its failure ends the call.
constexpr DumpRoad kCompoundStage = {[](int) { return true; }, Op<&CQelDoc::RunCompoundStage>, RoadEnd::Continue};

// After the file is read and closed, on the whole input.
constexpr DumpRoad kWholeInputRoads[] = {
    {[](int k) { return k == kKindXlsx; }, Op<&CQelDoc::DumpXlsx>, RoadEnd::Sheet},  // XLSX reader fills the cell tables, then the sheet road
    {[](int k) { return k == kKindMail; }, Op<&CQelDoc::DumpMailText>, RoadEnd::Release},  // mail message
    {IsMediaKind, DumpMediaInfo, RoadEnd::Release},
    {[](int k) { return k == kKindCsv; }, DumpCsvTable, RoadEnd::Release},
};

// On the input cut to the read size: the document roads.
constexpr DumpRoad kDocumentRoads[] = {
    {[](int k) { return k == kKindPpt; }, Op<&CQelDoc::DumpPptText>, RoadEnd::Common},  // binary presentation and its selected picture
    {[](int k) { return k == kKindDoc || k == kKindMail || k == kKindRtfCompound; }, Op<&CQelDoc::DumpWordText>,
     RoadEnd::Common},  // binary Word
    {[](int k) { return k == kKindXls; }, Op<&CQelDoc::DumpWorkbook>, RoadEnd::Sheet},  // binary Excel and sheet output
    {[](int k) { return k == kKindRtf || k == kKindXmlSheet; }, Op<&CQelDoc::DumpRtfText>, RoadEnd::Common},  // word-format filter
};

// Then the text converters.
constexpr DumpRoad kTextRoads[] = {
    {[](int k) { return k == kKindPdf; }, Op<&CQelDoc::DumpPdf>, RoadEnd::Common},  // PDF
    {[](int k) { return k == kKindHtml; }, Op<&CQelDoc::ConvertHtmlToText>, RoadEnd::Common},
    {[](int k) { return k == kKindXmlSheet; }, Op<&CQelDoc::ConvertXmlSheetToText>, RoadEnd::Common},
};

// Runs one road: a failure is written where the road left the write position and
// ends the call; a road that declined the file lets the next table's roads run.
RoadEnd Run(const DumpRoad& road, CQelDoc& doc, DumpCall& call) {
  call.declined = false;
  const ConvertStatus status = road.run(doc, call);
  if (!status.ok()) {
    doc.WriteConvertFailure(status);
    doc.ConvWriter().Terminate();
    return road.end == RoadEnd::Continue ? RoadEnd::Release : road.end == RoadEnd::Sheet ? RoadEnd::Common : road.end;
  }
  if (call.declined) return RoadEnd::Continue;
  if (road.end == RoadEnd::Sheet) return doc.m_nFileKind == kKindCsv ? RoadEnd::Release : RoadEnd::Common;
  return road.end;
}

// The string matrices and the work arrays of the table-producing roads.
ConvertStatus AllocateWorkTables(CQelDoc& doc, DumpCall& call) {
  const int kind = doc.m_nFileKind;
  const bool oneRow = kind == kKindText || kind == kKindXmlSheet || kind == kKindMacro || kind == kKindOther;
  call.cellChars = (kind == kKindPdf ? 512 : call.charLimit) + 10;
  call.cellRows = (oneRow ? 1 : call.tableRows) + 290;
  call.cell2Chars = call.charLimit + 6;
  call.cell2Bytes = oneRow ? 10 : call.tableRowsR;
  AllocHook* hook = &doc.m_allocHook;
  if (!TryAllocate(call.cells, call.cellChars, call.cellRows, 0, hook)) return ConvertStatus::OutOfMemory(" 003");
  if (!TryAllocate(call.cells2, call.cell2Chars, call.cell2Bytes, 0, hook)) return ConvertStatus::OutOfMemory(" 004");
  bool ok = TryAllocate(call.workBytes, call.tableRows, 1, 0, hook);
  for (auto& ints : call.workInts) ok = ok && TryAllocate(ints, call.tableRows, 1, 0, hook);
  return ok ? ConvertStatus::Ok() : ConvertStatus::OutOfMemory(" 005");
}

// Runs the first road of the table that takes the kind.
template <size_t N>
RoadEnd RunRoad(const DumpRoad (&roads)[N], CQelDoc& doc, DumpCall& call) {
  for (const DumpRoad& road : roads) {
    if (!road.takes(call.kind)) continue;
    if (!road.run) {
      call.roadAbsent = true;
      return RoadEnd::Continue;
    }
    return Run(road, doc, call);
  }
  return RoadEnd::Continue;
}

}  // namespace

bool RunTextFileRoad(CQelDoc& doc, DumpCall& call) {
  if (doc.m_nDisplayForm != 0) return false;
  const int kind = call.kind;
  if (call.lengthless) call.kind = kKindText;
  const bool ran = RunRoad(kTextFileRoads, doc, call) != RoadEnd::Continue;
  call.kind = kind;
  return ran;
}

bool RunPackageRoad(CQelDoc& doc, DumpCall& call) {
  if (doc.m_nDisplayForm == 2) return false;
  if (RunRoad(kPackageRoads, doc, call) == RoadEnd::Continue) return false;
  doc.m_nTextLen = doc.m_nConvPos;
  doc.Convert().m_nRawLen = doc.m_nConvPos;
  return true;
}

int RunDumpRoads(CQelDoc& doc, DumpCall& call) {
  if (const ConvertStatus status = AllocateWorkTables(doc, call); !status.ok()) {
    doc.m_nConvPos = 0;
    doc.WriteConvertFailure(status);
    return FinishDump(doc, call);
  }

  // Binary display: the text view draws the block; only the cursor is placed.
  if (doc.m_nDisplayForm == 1) {
    if (doc.m_nDumpBlock < 0) doc.m_nDumpBlock = static_cast<int>(std::min<int64_t>(doc.Convert().m_nRawLen / 65536, INT32_MAX));
    doc.Convert().m_nRawPos = static_cast<int64_t>(doc.m_nDumpBlock) * 65536;
    if (doc.Convert().m_nRawPos > doc.Convert().m_nRawLen) {
      doc.Convert().m_nRawPos = 0;
      doc.m_nDumpBlock = 0;
    }
    doc.m_nConvPos = 0;
    return FinishDump(doc, call);
  }

  // Source display: the bytes as they are.
  if (doc.m_nDisplayForm >= 2 && call.kind > kKindRtf && call.kind != kKindHtml && call.kind != kKindPdf &&
      call.kind != kKindMail && call.kind != kKindRtfCompound) {
    const int64_t volume = static_cast<int64_t>(std::max(call.inputVolume, doc.m_nOutDataLimit)) - 2000;
    const int64_t count = std::max<int64_t>(0, std::min({volume, call.readSize, call.bufferSize, call.bytesRead}));
    doc.m_nConvPos = 0;
    const int copied = doc.ConvAppend(std::string_view(reinterpret_cast<const char*>(doc.Convert().m_pRawData), static_cast<size_t>(count)));
    if (copied < call.fileLength) doc.m_bPartialLoad = 1;
    return FinishDump(doc, call);
  }

  if (Run(kCompoundStage, doc, call) == RoadEnd::Release) return FinishDump(doc, call);
  call.file.Close();

  RoadEnd end = RunRoad(kWholeInputRoads, doc, call);
  if (end == RoadEnd::Continue) {
    // The document roads see the input cut to the read size.
    // (A binary-looking file's copy already carries its note.)
    if (call.fileLength > call.readSize) {
      doc.Convert().m_nRawLen = call.readSize;
      call.inputCut = !call.binary;
      doc.m_bPartialLoad = 1;
    }
    doc.Convert().m_nRawLen = std::min(doc.Convert().m_nRawLen, call.bytesRead);
    if (call.kind <= kKindRtf || call.kind == kKindHtml) doc.m_nConvPos = 0;
    end = RunRoad(kDocumentRoads, doc, call);
    if (end != RoadEnd::Release) end = RunRoad(kTextRoads, doc, call);
    if (call.roadAbsent && doc.m_nConvPos == 0) doc.WriteConvertFailure(ConvertStatus::Message(IDS_UNSUPPORTED_FORMAT));
    // A Word or Excel name on bytes that are neither: nothing to show, and why.
    if (call.kind == kKindNotOffice && doc.m_nConvPos == 0) {
      doc.WriteConvertFailure(ConvertStatus::Message(IDS_NOT_OF_KIND).With(doc.m_nFileKind == kKindXls ? "Excel" : "Word"));
    }
    end = end == RoadEnd::Release ? end : RoadEnd::Common;
  }

  if (end == RoadEnd::Common) {
    doc.m_nConvPos = std::clamp(doc.m_nConvPos, 0, std::max(doc.m_nConvCap - 1, 0));
    if (call.inputCut && doc.m_bQuickHead == 0) doc.AppendTruncationNote(call.inputVolume);
    if (doc.m_nFileKind != kKindText && doc.m_nFileKind <= kKindLastDocument && doc.m_nConvPos > doc.m_nOutDataLimit - 4) {
      doc.m_nConvPos = std::max(doc.m_nOutDataLimit - 4, 0);
      doc.m_bPartialLoad = 1;
    }
    // A text the roads left empty stays empty: no line end of its own.
    if (call.kind <= kKindHtml && call.kind != kKindRtf && doc.m_nConvPos > 0) doc.ConvAppend("\r\n");
    if (call.kind != kKindCsv) doc.ConvWriter().Terminate();
  }

  // Release: the file and the raw data go.
  call.file.Close();
  doc.ReleaseRawData();
  if (doc.m_nFileKind == kKindCsv && doc.m_nConvPos > doc.Convert().m_nRawLen) doc.Convert().m_nRawLen = doc.m_nConvPos;
  return doc.m_nConvPos;
}
