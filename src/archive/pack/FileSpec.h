// File specifications of the pack commands: a name, or a pattern with '*' and '?'
// in its last part, matched as Windows matches them ("*.*" is every name, with or
// without a dot; a pattern ending in ".*" also matches names without a dot).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether a name matches a pattern, ASCII case ignored.
bool MatchesFileSpec(std::string_view name, std::string_view pattern);
// The paths a file pattern names: the pattern's matches in its folder (in the
// folder's order, sorted), or the name itself when it has no wildcard. Matches whose
// names Shift-JIS cannot express are added to unnamed when it is given. A relative
// pattern is matched in base, and its matches stay relative.
std::vector<std::string> ExpandFileSpec(std::string_view base, std::string_view fileSpec,
                                        std::vector<std::string>* unnamed = nullptr);
