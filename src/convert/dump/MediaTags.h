// The tag texts of the media information: MP3 tags (the ID3v1 block near the end and
// the ID3v2 frames at the start) and the descriptive attributes of a WMA (ASF) header,
// read through cursors over the bytes the dump holds.
#pragma once

#include <cstdint>
#include <string>

#include "base/ByteCursor.h"

// tail: the file's last (up to) 2,000 bytes; head: its first bytes.
std::string ReadMp3Tags(const ByteCursor& head, const ByteCursor& tail);
std::string ReadAsfAttributes(const ByteCursor& head);
// An ASF time stamp (100 ns units since 1601-01-01 UTC) as " y/mm/dd hhmmss (UTC)".
std::string FormatAsfTime(uint64_t ticks);
