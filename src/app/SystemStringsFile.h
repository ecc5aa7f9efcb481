// Pelnor.sys: the document's system strings (helper paths, home page, FTP sites, the
// key code) kept apart from Pelnor.inf, each byte scrambled by its position so that
// the file is not plain text. Written only its owner can read.
#pragma once

#include <string>
#include <string_view>

class CQelDoc;

// The file's bytes for the system strings that have a key, and back. Reading is
// bounded: unknown slots and overlong lines are skipped.
std::string SystemStringsFileText(const CQelDoc& doc);
void ReadSystemStringsText(CQelDoc& doc, std::string_view bytes);

// "\Pelnor.sys" in the program folder.
std::string SystemStringsFilePath(const CQelDoc& doc);
// Writes it in the program folder whole (WriteSettingsFile); false when it
// cannot be written, the message naming it in *problem.
bool WriteSystemStringsFile(const CQelDoc& doc, std::string* problem = nullptr);
// Reads it when present.
void ReadSystemStringsFile(CQelDoc& doc);
