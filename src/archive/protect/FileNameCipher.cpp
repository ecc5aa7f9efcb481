// Enciphered file names: a plain name "base@Enc.ext" is stored as "#~$_" + cipher
// text + ".ext". The cipher text is the base name behind three check characters,
// enciphered with the user's key as a chained sum and written in a 64-character
// alphabet, four characters for three bytes. A name that does not decipher (wrong
// key, damaged text) keeps its stored form; without a key nothing is translated.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/QelDoc.h"
#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "archive/protect/CipherKey.h"
#include "platform/os/Files.h"

namespace {

constexpr std::string_view kStoredMark = "#~$_";
constexpr std::string_view kPlainMark = "@Enc";
constexpr size_t kLongestText = 255;  // texts of 256 bytes or more are left alone

char AlphabetChar(unsigned v) {
  v &= 63;
  if (v < 10) return static_cast<char>('0' + v);
  if (v == 10) return '@';
  if (v < 37) return static_cast<char>('A' + v - 11);
  if (v == 37) return '`';
  return static_cast<char>('a' + v - 38);
}

unsigned AlphabetValue(unsigned char c) {
  if (c == '^') return 0;
  if (c < 0x40) return static_cast<unsigned>(c - 48) & 0xFF;
  if (c < 0x60) return static_cast<unsigned>(c - 54) & 0xFF;
  return static_cast<unsigned>(c - 59) & 0xFF;
}

// The three check characters of a name: its byte sum, wrapped below 65,536.
std::string CheckCharacters(std::string_view name) {
  unsigned s = 0;
  for (unsigned char c : name) {
    s += c;
    if (s > 65535) s -= 65535;
  }
  const unsigned lo = s % 256, hi = (s / 256) % 256;
  return {AlphabetChar(lo / 4), AlphabetChar((lo % 4) * 16 + hi / 16), AlphabetChar((hi % 16) * 4)};
}

std::string Encode(const std::vector<uint8_t>& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned b0 = bytes[i];
    const unsigned b1 = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    const unsigned b2 = i + 2 < bytes.size() ? bytes[i + 2] : 0;
    out += AlphabetChar(b0 / 4);
    out += AlphabetChar((b0 % 4) * 16 + b1 / 16);
    out += i + 1 < bytes.size() ? AlphabetChar((b1 % 16) * 4 + b2 / 64) : '^';
    out += i + 2 < bytes.size() ? AlphabetChar(b2 % 64) : '^';
  }
  return out;
}

// Only whole groups of four are decoded; a '^' in the third or fourth place drops a byte.
std::vector<uint8_t> Decode(std::string_view text) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 4 <= text.size(); i += 4) {
    unsigned q[4];
    for (int j = 0; j < 4; ++j) q[j] = AlphabetValue(static_cast<unsigned char>(text[i + j]));
    out.push_back(static_cast<uint8_t>(q[0] * 4 + q[1] / 16));
    if (text[i + 2] != '^') out.push_back(static_cast<uint8_t>(q[1] * 16 + q[2] / 4));
    if (text[i + 3] != '^' && text[i + 2] != '^') out.push_back(static_cast<uint8_t>(q[2] * 64 + q[3]));
  }
  return out;
}

std::string CipherName(const std::string& pwrd, CipherDirection mode, const std::string& name) {
  const std::optional<CipherKey> key = CipherKeyFromPwrd(pwrd);
  if (!key) return std::string(kStoredMark) + name;
  if (mode == CipherDirection::kEncipher) {
    const std::string text = CheckCharacters(name) + name;
    if (text.size() > kLongestText) return name;
    std::vector<uint8_t> out(text.size());
    uint8_t previous = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const int32_t k = CipherStep(*key, static_cast<uint32_t>(i));
      previous = static_cast<uint8_t>(previous + static_cast<uint8_t>(text[i]) + k);
      out[i] = previous;
    }
    return Encode(out);
  }
  // The limit is on the enciphered bytes, so that every name enciphered deciphers.
  if (name.size() > (kLongestText + 2) / 3 * 4) return name;
  const std::vector<uint8_t> in = Decode(name);
  std::string plain(in.size(), '\0');
  for (size_t i = 0; i < in.size(); ++i) {
    const int32_t k = CipherStep(*key, static_cast<uint32_t>(i));
    const uint8_t before = i > 0 ? in[i - 1] : 0;
    plain[i] = static_cast<char>(static_cast<uint8_t>(in[i] - before - k));
  }
  if (plain.size() >= 3 && plain.compare(0, 3, CheckCharacters(std::string_view(plain).substr(3))) == 0)
    return plain.substr(3) + std::string(kPlainMark);
  return std::string(kStoredMark) + name;
}

std::string TranslateName(const std::string& pwrd, const std::string& path, NameForm form) {
  if (path.empty() || !CipherKeyFromPwrd(pwrd)) return path;
  const size_t lastDot = path.rfind('.');
  // Without a '.' the dot counts as one past the end: the extension part is empty.
  const size_t dot = lastDot == std::string::npos ? path.size() + 1 : lastDot;
  const std::string tail = path.substr(std::min(dot, path.size()));
  if (form == NameForm::kStored) {
    const size_t mark = path.find(kPlainMark);
    if (mark == std::string::npos || mark == 0 || mark + kPlainMark.size() != dot) return path;
    const size_t slash = plat::FindLastSeparator(std::string_view(path).substr(0, mark));
    const size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string cipher = CipherName(pwrd, CipherDirection::kEncipher, path.substr(baseStart, mark - baseStart));
    // A base name too long to encipher comes back as it was: the path stays plain.
    if (cipher == path.substr(baseStart, mark - baseStart)) return path;
    return path.substr(0, baseStart) + std::string(kStoredMark) + cipher + tail;
  }
  const size_t mark = path.find(kStoredMark);
  if (mark == std::string::npos || mark == 0 || dot <= mark + kStoredMark.size()) return path;
  const size_t textStart = mark + kStoredMark.size();
  return path.substr(0, mark) + CipherName(pwrd, CipherDirection::kDecipher, path.substr(textStart, dot - textStart)) + tail;
}

}  // namespace

ArchiveStatus CQelDoc::CipherFileName(CipherDirection mode, std::string name) {
  ArchiveStatus s = ArchiveStatus::Done();
  s.path = CipherName(m_astrSysValue[29], mode, name);
  return s;
}

ArchiveStatus CQelDoc::TranslateFileName(std::string path, NameForm form) {
  ArchiveStatus s = ArchiveStatus::Done();
  s.path = TranslateName(m_astrSysValue[29], path, form);
  return s;
}
