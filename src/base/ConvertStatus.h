// One error road for the converters: a converter returns its failure as a value (the
// string id of its message and, for an allocation failure, its three-digit place
// code); the dump frame turns it into display text in one place
// (CQelDoc::WriteConvertFailure, with StatusText of app/StringTable.h), so no
// converter formats its own error text.
//
// Every road of the dump frame has one form: a document operation
// `ConvertStatus Road(DumpCall& call)` (or, for the frame's own roads, a free
// function `ConvertStatus Road(CQelDoc& doc, DumpCall& call)`). A road writes its
// text from the write position m_nConvPos and leaves the position behind it; its
// failure is written by the frame at the position the road left.
#pragma once

#include <string>
#include <utility>

#include "base/StringIds.h"

struct ConvertStatus {
  int stringId = 0;            // 0: success
  const char* place = nullptr; // " 001"-style place code after string 152, or null
  std::string detail;          // written after the place code: a figure or note the message names

  static constexpr ConvertStatus Ok() { return {}; }
  static constexpr ConvertStatus Message(int id) { return {id, nullptr, {}}; }
  static constexpr ConvertStatus OutOfMemory(const char* place) { return {IDS_OUT_OF_MEMORY, place, {}}; }
  constexpr bool ok() const { return stringId == 0; }
  ConvertStatus With(std::string text) const {
    ConvertStatus s = *this;
    s.detail = std::move(text);
    return s;
  }
};
