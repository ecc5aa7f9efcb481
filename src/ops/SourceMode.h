// SourceMode: what CQelDoc::ConvertSource does with a file (its first argument). The
// marker of a protected name says its stored form: '+' scrambled, '-' packed into a
// one-member archive and scrambled, '=' packed only. A scoped enum: a bare number
// does not compile where a mode is meant.
#pragma once

enum class SourceMode : int {
  kExpand = 0,          // a stored file back to its plain form
  kScramble = 1,        // stored with the marker '+'
  kSaveText = 2,        // the document's text stored as the target's marker says
  kPackScramble = 3,    // stored with the marker '-'
  kPack = 4,            // stored with the marker '='
  kExpandSchedule = 5,  // unscrambled like kExpand, an archived form left packed
  kExpandOwnKey = 6,    // kExpand and kScramble with the program's own key
  kScrambleOwnKey = 7,
  kPackRtz = 8,         // packed only, an empty target named by the source with "rtz"
  kPackBmzName = 11,    // packed only, no marker: the extension "bmz" ...
  kPackRtzName = 12,    // ... or "rtz"
};
