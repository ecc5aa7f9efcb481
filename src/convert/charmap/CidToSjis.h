// Adobe-Japan1 character identifiers (CIDs) to Shift-JIS, through three small tables
// kept in the document: range starts, the Shift-JIS code of each range's first CID,
// and the trail bytes of the symbols at CIDs 98 to 139.
#pragma once

void BuildCidToSjisTables(int* rangeStart, int* rangeSjis, unsigned char* symbolTrail);

// Replaces the CID in *high, *low (CID = high * 256 + low) by its character pair:
// *high the first byte, *low the second (0 for a single-byte character).
void MapCidToSjis(unsigned char* high, unsigned char* low, const int* rangeStart, const int* rangeSjis,
                  const unsigned char* symbolTrail);
