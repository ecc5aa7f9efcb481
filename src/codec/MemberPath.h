// Member names of ZIP and LZH archives and Office packages as paths: Shift-JIS text,
// where the second byte of a double-byte character may be 0x5C ('\'), so every
// separator test skips such bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// 1 for both bytes of a double-byte character, 0 for a single-byte one.
std::vector<uint8_t> MakeSjisLeadMask(std::string_view text, size_t length);

// A member name reduced to a relative path ('\' separators) that stays inside the
// target folder: a drive letter and leading separators are dropped, and so are
// empty, "." and ".." parts. nullopt when nothing is left, or when the name ends in
// a "." or ".." part (it names a folder above, never the part before it). *isFolder
// tells whether the name ended with a separator.
std::optional<std::string> SafeMemberPath(std::string_view name, bool* isFolder);
