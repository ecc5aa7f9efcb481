// The steps of one call of the file-to-text dump (CQelDoc::DumpFileAsText) and the
// dump's own roads. Each is handed the document and the call's state; none is an
// operation of the document.
#pragma once

#include "base/ConvertStatus.h"

class CQelDoc;
struct DumpCall;

bool RunTextFileRoad(CQelDoc& doc, DumpCall& call);  // true: the file was shown as its text
bool RunPackageRoad(CQelDoc& doc, DumpCall& call);  // true: an Office Open XML converter made the text
bool ReadDumpInput(CQelDoc& doc, DumpCall& call);   // false: the call ends with the text written
bool SniffDumpFile(CQelDoc& doc, DumpCall& call);   // true: the call is finished (title, listing)
void DumpPlainCopy(CQelDoc& doc, DumpCall& call);
int RunDumpRoads(CQelDoc& doc, DumpCall& call);     // the main road: work tables, the road of the kind, the common end
int FinishDump(CQelDoc& doc, DumpCall& call);       // NUL, file closed, raw data freed; the text length

// The roads of this folder (the road form of convert/ConvertStatus.h): archive
// listings, media information, CSV tables, a text file shown as its text.
ConvertStatus DumpZipListing(CQelDoc& doc, DumpCall& call);
ConvertStatus DumpLzhListing(CQelDoc& doc, DumpCall& call);
ConvertStatus DumpMediaInfo(CQelDoc& doc, DumpCall& call);
ConvertStatus DumpCsvTable(CQelDoc& doc, DumpCall& call);  // the road ends the call; a failure replaces the text
ConvertStatus DumpTextFile(CQelDoc& doc, DumpCall& call);  // opens and reads the file itself
