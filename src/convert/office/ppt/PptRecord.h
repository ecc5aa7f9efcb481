// PptRecord: the record types of the PowerPoint Document stream that the road reads,
// by their published names (the older form's by what they hold). Code compares a
// type against these names, never a bare number.
#pragma once

#include <cstdint>

enum PptRecord : uint16_t {
  kPptDocument = 0x03E8,
  kPptEndDocument = 0x03EA,
  kPptSlide = 0x03EE,
  kPptSlideAtom = 0x03EF,
  kPptNotes = 0x03F0,
  kPptNotesAtom = 0x03F1,
  kPptSlidePersistAtom = 0x03F3,
  kPptMainMaster = 0x03F8,
  kPptPlaceholderAtom = 0x0BC3,
  kPptTextCharsAtom = 0x0FA0,
  kPptTextBytesAtom = 0x0FA8,
  kPptCString = 0x0FBA,
  kPptSlideListWithText = 0x0FF0,
  kPptUserEditAtom = 0x0FF5,
  // The older form (16-byte headers): a slide's start and a text record.
  kPptOldSlide = 0x03F4,
  kPptOldText = 0x07EE,
};
