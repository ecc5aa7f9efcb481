// The parts of the Office Open XML package being converted, read from the package
// in memory. The member list is indexed once by path, ASCII case folded as Windows
// names compare, so a part is found (or found missing) by one lookup and nothing
// is written to disk. Members are taken as unpacking them into a folder would take
// them: each name reduced to a path below the package's root, a later member
// replacing an earlier one of the same name, and a member that cannot take its
// place (a file where a folder must be, or the reverse, a name the file system
// cannot hold) or does not decode whole left out and reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "codec/CodecServices.h"

class CPackageParts {
 public:
  // Reads the member list of the package's bytes; false when they are no readable
  // ZIP archive.
  bool Open(std::vector<uint8_t> bytes);
  const std::vector<ZipImageMember>& Members() const { return image_.Members(); }

  // Places the members in order: nameOf gives a member's name as Shift-JIS; a
  // member left out is handed to leftOut with the note that reports it (its name
  // and the reason) and the codec's code. Each member is decoded once here to
  // check it, and the XML parts (the ones the converters read) of up to kKeptPart
  // bytes are kept as decoded, up to kKeptBytes in all, so that reading one decodes
  // nothing again; a larger part is decoded again when read, so that it is never
  // held twice. False when a member was left out.
  using NameOf = std::function<std::string(const ZipImageMember&)>;
  using LeftOut = std::function<void(const std::string& note, const char* code)>;
  bool Index(const NameOf& nameOf, const LeftOut& leftOut);

  // The member holding the part at rel (a path below the root, parts separated by
  // '\' or '/'; "." and ".." walk as in a folder, and nothing above the root is
  // found); nullopt when there is none.
  std::optional<size_t> Find(std::string_view rel) const;
  // The note ("name : code") of the first part looked for with Find that was left
  // out for its data (it does not decode whole); "" when none was.
  const std::string& DamageAsked() const { return damageAsked_; }
  // True when rel names a folder of the package (one made by a member's path).
  bool HasFolder(std::string_view rel) const;
  uint64_t SizeOf(size_t member) const { return Members()[member].declaredSize; }
  // Decodes a found member into out (room for SizeOf bytes); true when whole. A
  // part kept by Index is copied out and let go (read again, it is decoded again).
  bool Unpack(size_t member, uint8_t* out) const;
  // Members decoded through Unpack since Open.
  int64_t PartsUnpacked() const { return unpacked_; }

 private:
  enum class Slot { Folder, File };
  struct Entry {
    Slot slot;
    size_t member;
  };
  // The folded path of rel, its folders walked; nullopt when it leaves the root or
  // walks through something that is not a folder.
  std::optional<std::string> Key(std::string_view rel) const;
  // Makes the folders of the first count parts; false when a file stands in the way.
  bool MakeFolders(const std::vector<std::string>& parts, size_t count);
  // Decodes member i to check it, into bytes when it is an XML part that fits in
  // what may still be kept; "" when whole, else the codec's code.
  std::string Check(size_t i, const std::string& name, std::vector<uint8_t>& bytes) const;

  static constexpr uint64_t kKeptPart = uint64_t{1} << 20;
  static constexpr uint64_t kKeptBytes = uint64_t{64} << 20;

  CZipImage image_;
  std::unordered_map<std::string, Entry> entries_;  // by folded path, parts joined by '\'
  std::unordered_map<std::string, std::string> damaged_;  // left out for their data: notes by folded path
  mutable std::unordered_map<size_t, std::vector<uint8_t>> kept_;  // decoded parts by member
  mutable uint64_t keptBytes_ = 0;
  mutable std::string damageAsked_;
  mutable int64_t unpacked_ = 0;
};
