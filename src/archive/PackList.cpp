#include "archive/PackList.h"

#include "archive/ArchivePaths.h"
#include "frame/MainFrame.h"
#include "platform/text/CodePage.h"

std::vector<std::string> WalkPackList(const std::vector<std::string>& sources) {
  std::vector<FileEntry> entries;
  std::vector<std::string> links;
  for (const std::string& s : sources) CollectTreeFiles(s, entries, &links);
  NoteLeftOutLinks(links);
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (FileEntry& e : entries) names.push_back(std::move(e.name));
  return names;
}

void NoteLeftOutLinks(const std::vector<std::string>& links) {
  for (const std::string& link : links) AfxNote(link + plat::Utf8ToCp932Lossy(" : シンボリックリンクは格納しません"));
}
