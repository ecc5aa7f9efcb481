#include "convert/ooxml/PackageParts.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "codec/MemberPath.h"
#include "codec/ErrorCodes.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"

namespace {

constexpr size_t kMaxHostName = 255;  // bytes of one name on the file systems unpacked to

// The parts of a path separated by '\' (not a double-byte character's trail byte)
// or '/'; empty parts dropped.
std::vector<std::string> SplitParts(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size()) {
      const auto b = static_cast<uint8_t>(path[i]);
      if (IsSjisLeadByte(b)) {
        ++i;
        continue;
      }
      if (b != '\\' && b != '/') continue;
    }
    if (i > start) parts.emplace_back(path.substr(start, i - start));
    start = i + 1;
  }
  return parts;
}

// A name the file system can hold as it is spelled.
bool HostCanHold(const std::string& name) {
  const std::optional<std::string> host = plat::ToHostPath(name);
  return host && !host->empty() && host->size() <= kMaxHostName;
}

// A part the converters read as XML text: "*.xml" or "*.rels".
bool IsXmlPart(std::string_view name) {
  auto endsWith = [&](std::string_view tail) {
    return name.size() >= tail.size() && std::equal(tail.begin(), tail.end(), name.end() - tail.size(), [](char a, char b) {
             return static_cast<char>(std::tolower(static_cast<unsigned char>(a))) == b;
           });
  };
  return endsWith(".xml") || endsWith(".rels");
}

}  // namespace

bool CPackageParts::Open(std::vector<uint8_t> bytes) {
  entries_.clear();
  kept_.clear();
  keptBytes_ = 0;
  unpacked_ = 0;
  return image_.Open(std::move(bytes));
}

bool CPackageParts::MakeFolders(const std::vector<std::string>& parts, size_t count) {
  std::string key;
  for (size_t k = 0; k < count; ++k) {
    if (!HostCanHold(parts[k])) return false;
    if (!key.empty()) key += '\\';
    key += plat::FoldNameCase(parts[k]);
    const auto [at, added] = entries_.try_emplace(key, Entry{Slot::Folder, 0});
    if (!added && at->second.slot != Slot::Folder) return false;
  }
  return true;
}

bool CPackageParts::Index(const NameOf& nameOf, const LeftOut& leftOut) {
  bool whole = true;
  const std::vector<ZipImageMember>& members = Members();
  for (size_t i = 0; i < members.size(); ++i) {
    const ZipImageMember& m = members[i];
    if (m.method != 0 && m.method != 8) {
      leftOut(m.name + " : method " + std::to_string(m.method), nullptr);
      whole = false;
      continue;
    }
    const std::string name = nameOf(m);
    bool isFolder = false;
    const std::optional<std::string> rel = SafeMemberPath(name, &isFolder);
    if (!rel) continue;
    const std::vector<std::string> parts = SplitParts(*rel);
    if (parts.empty()) continue;
    if (isFolder) {
      if (!MakeFolders(parts, parts.size())) {
        leftOut(name + " : " + codec::err::kWrite, nullptr);
        whole = false;
      }
      continue;
    }
    std::string code, key;
    if (!MakeFolders(parts, parts.size() - 1)) {
      code = codec::err::kWrite;
    } else {
      for (const std::string& part : parts) {
        if (!key.empty()) key += '\\';
        key += plat::FoldNameCase(part);
      }
      const auto found = entries_.find(key);
      if (found != entries_.end() && found->second.slot == Slot::Folder) code = codec::err::kWrite;
    }
    std::vector<uint8_t> bytes;
    if (code.empty()) {
      code = Check(i, name, bytes);
      if (!code.empty()) damaged_.insert_or_assign(key, name + " : " + code);
    }
    if (code.empty() && !HostCanHold(parts.back())) code = codec::err::kWrite;
    if (!code.empty()) {
      leftOut(name + " : " + code, code.c_str());
      whole = false;
      continue;
    }
    const auto [at, added] = entries_.try_emplace(key, Entry{Slot::File, i});
    if (!added) {  // a later member of the same name replaces the earlier one
      if (const auto replaced = kept_.find(at->second.member); replaced != kept_.end()) {
        keptBytes_ -= replaced->second.size();
        kept_.erase(replaced);
      }
      at->second = Entry{Slot::File, i};
    }
    if (!bytes.empty()) {
      keptBytes_ += bytes.size();
      kept_.insert_or_assign(i, std::move(bytes));
    }
  }
  return whole;
}

std::string CPackageParts::Check(size_t i, const std::string& name, std::vector<uint8_t>& bytes) const {
  const uint64_t size = Members()[i].declaredSize;
  if (size > 0 && size <= kKeptPart && size <= kKeptBytes - keptBytes_ && IsXmlPart(name)) {
    try {
      bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      bytes.clear();
    }
  }
  std::string code = image_.Unpack(i, bytes.empty() ? nullptr : bytes.data());
  if (!code.empty()) std::vector<uint8_t>().swap(bytes);
  return code;
}

std::optional<std::string> CPackageParts::Key(std::string_view rel) const {
  // The walk goes on through folders only, as a path in a folder would.
  std::vector<std::string> walked;
  std::string key;
  auto join = [&] {
    key.clear();
    for (const std::string& w : walked) key += (key.empty() ? "" : "\\") + w;
  };
  auto inFolder = [&] {
    if (walked.empty()) return true;
    const auto found = entries_.find(key);
    return found != entries_.end() && found->second.slot == Slot::Folder;
  };
  for (const std::string& part : SplitParts(rel)) {
    if (!inFolder()) return std::nullopt;
    if (part == ".") continue;
    if (part == "..") {
      if (walked.empty()) return std::nullopt;  // above the root
      walked.pop_back();
    } else {
      walked.push_back(plat::FoldNameCase(part));
    }
    join();
  }
  if (walked.empty()) return std::nullopt;
  return key;
}

std::optional<size_t> CPackageParts::Find(std::string_view rel) const {
  const std::optional<std::string> key = Key(rel);
  if (!key) return std::nullopt;
  const auto found = entries_.find(*key);
  if (found == entries_.end() || found->second.slot != Slot::File) {
    const auto damaged = damaged_.find(*key);
    if (damaged != damaged_.end() && damageAsked_.empty()) damageAsked_ = damaged->second;
    return std::nullopt;
  }
  return found->second.member;
}

bool CPackageParts::HasFolder(std::string_view rel) const {
  const std::optional<std::string> key = Key(rel);
  if (!key) return false;
  const auto found = entries_.find(*key);
  return found != entries_.end() && found->second.slot == Slot::Folder;
}

bool CPackageParts::Unpack(size_t member, uint8_t* out) const {
  ++unpacked_;
  if (const auto found = kept_.find(member); found != kept_.end()) {
    std::memcpy(out, found->second.data(), found->second.size());
    keptBytes_ -= found->second.size();
    kept_.erase(found);
    return true;
  }
  return image_.Unpack(member, out).empty();
}
