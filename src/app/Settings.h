// The settings of Pelnor.inf: one table of keys, each bound to a document field with
// the unit the file writes it in (memory volumes in MB, tables in hundreds of rows).
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CQelDoc;

struct SettingDescription {
  std::string key;
  std::string help;  // UTF-8, for --help
};

// Sets one setting from its text form; returns "" or the reason it was refused (UTF-8).
std::string ApplySetting(CQelDoc& doc, std::string_view key, std::string_view value);
// The current value of a setting in its text form; "" for an unknown key.
std::string SettingValue(const CQelDoc& doc, std::string_view key);
std::vector<SettingDescription> DescribeSettings();
// The whole settings file as written (CP932 lines "key=value").
std::string SettingsFileText(const CQelDoc& doc);
