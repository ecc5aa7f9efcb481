// SourceMode: what CQelDoc::ConvertSource does with a file (its first argument). The
// marker of a protected name says its stored form: '+' scrambled, '-' packed into a
// one-member archive and scrambled, '=' packed only. Code passes and compares these
// names, never bare numbers.
#pragma once

enum SourceMode : int {
  kSourceExpand = 0,         // a stored file back to its plain form
  kSourceScramble = 1,       // stored with the marker '+'
  kSourceSaveText = 2,       // the document's text stored as the target's marker says
  kSourcePackScramble = 3,   // stored with the marker '-'
  kSourcePack = 4,           // stored with the marker '='
  kSourceExpandSchedule = 5,  // unscrambled like kSourceExpand, an archived form left packed
  kSourceExpandOwnKey = 6,   // kSourceExpand and kSourceScramble with the program's own key
  kSourceScrambleOwnKey = 7,
  kSourcePackRtz = 8,        // packed only, an empty target named by the source with "rtz"
  kSourcePackBmzName = 11,   // packed only, no marker: the extension "bmz" ...
  kSourcePackRtzName = 12,   // ... or "rtz"
};
