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
// The same for a value the user typed at the terminal (UTF-8), for this run alone:
// a setting that holds the program's own text (a path, an FTP site string) keeps it
// in CP932, as the settings files and the dialogs do; a value CP932 cannot write is
// refused. A value that holds a control character is refused by both.
std::string ApplyTypedSetting(CQelDoc& doc, std::string_view key, std::string_view utf8Value);
// Whether ApplyTypedSetting would take the value: "" or its reason; sets nothing.
std::string CheckTypedSetting(std::string_view key, std::string_view utf8Value);
// The current value of a setting in its text form; "" for an unknown key.
std::string SettingValue(const CQelDoc& doc, std::string_view key);
// The value a settings file is to keep: the current one, but for a value given for
// this run alone (ApplyTypedSetting) and not changed since, which the file keeps as
// it had it.
std::string LastingSettingValue(const CQelDoc& doc, std::string_view key);
// A value as a settings file line holds it: a control character (a line end, a Tab)
// becomes a blank.
std::string PlainSettingText(std::string_view value);
std::vector<SettingDescription> DescribeSettings();
// The whole settings file as written (CP932 lines "key=value").
std::string SettingsFileText(const CQelDoc& doc);
// Writes the current values of keys into Pelnor.inf (each line of such a key
// replaced, a missing one added, every other line kept) and the system strings into
// Pelnor.sys; "" when both were written, else the message (CP932) that names the
// file that was not and why. A file that was not written is left as it was.
std::string SaveSettings(const CQelDoc& doc, const std::vector<std::string_view>& keys);
// The same for every key of the settings.
std::string SaveAllSettings(const CQelDoc& doc);
// Writes a settings file whole: beside itself, renamed into place only when
// complete, with its owner's permission bits (0600 for a new file); a symbolic link
// or a read-only file is not replaced. "" or the message as for SaveSettings.
std::string WriteSettingsFile(const std::string& path, std::string_view bytes);
// Why a settings file present at path is not read as one (CP932, the file named):
// a named pipe, a device or a folder has no end to read to and is never replaced;
// "" for a regular file or none.
std::string IrregularSettingsFile(const std::string& path);
