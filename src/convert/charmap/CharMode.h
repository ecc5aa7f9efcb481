// CharMode: how CQelDoc::ConvertCharToSjis reads a character (its mode argument).
// Callers pass and compare these names, never bare numbers.
#pragma once

enum CharMode : int {
  kCharEuc = 0,        // an EUC-JP pair: each byte less 0x80 is the JIS pair
  kCharUtf8 = 1,       // UTF-8 from a lead byte of 0xC0 on; a pair otherwise
  kCharJis = 2,        // a JIS pair as it stands, any bytes
  kCharJisAlike = 3,   // read as kCharJis
  kCharPair = 4,       // a JIS pair as it stands, both bytes in the EUC range
  kCharGuessUtf8 = 5,  // a guessed UTF-8: UTF-8, else an EUC pair
  kCharGuessEuc = 6,   // a guessed EUC pair
};
