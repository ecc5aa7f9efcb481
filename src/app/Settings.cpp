#include "app/Settings.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "app/QelDoc.h"
#include "convert/ConvertState.h"
#include "archive/ArchiveState.h"
#include "media/MediaState.h"
#include "net/NetState.h"
#include "platform/text/CodePage.h"
#include "richtext/RichTextState.h"

namespace {

enum class Unit {
  Megabytes,  // bytes in memory, MB in the file (fractions allowed; 0 is the small volume)
  Hundreds,   // entries in memory, hundreds in the file
  Number,
  Text,
  Colour,     // "red,green,blue"
  Clock,      // "YYYY-MM-DDTHH:MM:SS", or empty for the real time
};

// A setting's field: the document's own, or a subsystem state's, which is reached
// through the document's accessor of that state.
template <class T>
struct FieldOf {
  FieldOf(std::nullptr_t) {}
  FieldOf(T CQelDoc::*field) : doc(field) {}
  FieldOf(T ArchiveState::*field) : archive(field) {}
  FieldOf(T MediaState::*field) : media(field) {}
  FieldOf(T NetState::*field) : net(field) {}
  FieldOf(T ConvertState::*field) : convert(field) {}
  FieldOf(T RichTextState::*field) : richText(field) {}
  T CQelDoc::*doc = nullptr;
  T ArchiveState::*archive = nullptr;
  T MediaState::*media = nullptr;
  T NetState::*net = nullptr;
  T ConvertState::*convert = nullptr;
  T RichTextState::*richText = nullptr;
};

// The field of doc (const or not) that a row names.
template <class Doc, class T>
auto& Field(Doc& doc, const FieldOf<T>& field) {
  if (field.archive) return doc.Archive().*field.archive;
  if (field.media) return doc.Media().*field.media;
  if (field.net) return doc.Net().*field.net;
  if (field.convert) return doc.Convert().*field.convert;
  if (field.richText) return doc.RichText().*field.richText;
  return doc.*field.doc;
}

struct Setting {
  const char* key;
  Unit unit;
  FieldOf<int> intField;
  FieldOf<std::string> textField;
  int low;
  int high;
  const char* help;
};

constexpr int kSmallVolume = 204800;  // a memory volume set to 0

const Setting kSettings[] = {
    {"indata", Unit::Megabytes, &CQelDoc::m_nInDataLimit, nullptr, 0, 1024, "input memory volume, MB (0: 200 KB, a PDF 500 KB)"},
    {"outdata", Unit::Megabytes, &CQelDoc::m_nOutDataLimit, nullptr, 0, 1024, "output memory volume, MB (0: 200 KB)"},
    {"bmpfile", Unit::Megabytes, &CQelDoc::m_nBmpFileLimit, nullptr, 0, 1024, "largest image file, MB"},
    {"bmpdata", Unit::Megabytes, &CQelDoc::m_nBmpDataLimit, nullptr, 0, 1024, "largest decoded image, MB"},
    {"n_char", Unit::Number, &CQelDoc::m_nCharLimit, nullptr, 1, 100000, "bytes of text per table cell (at most 510 used)"},
    {"n_tbl", Unit::Hundreds, &CQelDoc::m_nTableRows, nullptr, 3, 10000, "table rows, hundreds"},
    {"r_tbl", Unit::Hundreds, &CQelDoc::m_nTableRowsR, nullptr, 1, 10000, "table cell buffer, hundreds of bytes"},
    {"readform", Unit::Number, &CQelDoc::m_nReadTextForm, nullptr, 0, 3,
     "reading form of text files: 0 Shift-JIS, 1 UTF-8, 2 EUC-JP, 3 JIS (ISO-2022-JP)"},
    {"dispform", Unit::Number, &CQelDoc::m_nDisplayForm, nullptr, 0, 2, "display form: 0 normal, 2 source as it is"},
    {"quickhead", Unit::Number, &CQelDoc::m_bQuickHead, nullptr, 0, 1, "quick head display: read only the head of large files"},
    {"vrules", Unit::Number, &CQelDoc::m_bVerticalRules, nullptr, 0, 1, "tables with vertical rules"},
    {"sjisfixed", Unit::Number, &CQelDoc::m_bSjisFixed, nullptr, 0, 1, "read every text as Shift-JIS, no conversion"},
    {"asciifixed", Unit::Number, &CQelDoc::m_bAsciiFixed, nullptr, 0, 1, "ASCII forms instead of double-byte signs"},
    {"showaddr", Unit::Number, &CQelDoc::m_bShowAddress, nullptr, 0, 1, "HTML: label links and list their addresses"},
    {"utf8names", Unit::Number, &ArchiveState::m_bUtf8Names, nullptr, 0, 1, "ZIP member names are UTF-8 (own reader)"},
    {"encnames", Unit::Number, &ArchiveState::m_bEncryptNames, nullptr, 0, 1, "new protected files get enciphered names"},
    {"listlayout", Unit::Number, &CQelDoc::m_nListLayout, nullptr, 0, 18, "arrangement of the list panes"},
    {"prspace1", Unit::Number, &CQelDoc::m_nPrSpace1, nullptr, 0, 9999, "print margins top and bottom"},
    {"prspace2", Unit::Number, &CQelDoc::m_nPrSpace2, nullptr, 0, 9999, "print margins left and right"},
    {"prspace3", Unit::Number, &CQelDoc::m_nPrSpace3, nullptr, 0, 9999, "print margin units digits"},
    {"prpaper", Unit::Number, &RichTextState::m_nPrinterPaper, nullptr, 1, 5000, "printer paper: 9 A4, 8 A3, 11 A5, 12 B4, 13 B5, 1 Letter, 5 Legal, 3 Tabloid, 7 Executive, 43 postcard"},
    {"prorient", Unit::Number, &RichTextState::m_nPrinterOrientation, nullptr, 1, 2, "printer orientation: 1 portrait, 2 landscape"},
    {"textcolor", Unit::Colour, nullptr, nullptr, 0, 0, "text colour, red,green,blue"},
    {"backcolor", Unit::Colour, nullptr, nullptr, 0, 0, "background colour, red,green,blue"},
    {"pdfgap", Unit::Number, &ConvertState::m_nPdfWordGap, nullptr, 0, 10000, "PDF word gap"},
    {"pdfgaplimit", Unit::Number, &ConvertState::m_nPdfWordGapLimit, nullptr, 0, 10000, "PDF word gap limit"},
    {"tableform", Unit::Number, &CQelDoc::m_nCsvMode, nullptr, 0, 9,
     "table form of the display: 0 off, 1 empty lines kept, 2 table view (PDF: a line for each move; source: streams as text)"},
    {"compact", Unit::Number, &CQelDoc::m_bRepeat, nullptr, 0, 1, "compact source display: whole streams, each object end marked"},
    {"profnt", Unit::Text, nullptr, &CQelDoc::m_strProFont, 0, 0, "proportional font"},
    {"tblfnt", Unit::Text, nullptr, &CQelDoc::m_strTableFont, 0, 0, "fixed-pitch font"},
    {"charcolor", Unit::Text, nullptr, &CQelDoc::m_strCharColours, 0, 0,
     "sheets: up to 10 characters shown in colour, each followed by its colour letter (R red, B blue, ...), e.g. *R-B"},
    {"nettime", Unit::Number, &NetState::m_nNetTimeScale, nullptr, 1, 1000,
     "internet time-outs in thousandths of the program's own: 30 s to connect and answer, 60 s a page pass"},
    {"inbrowser", Unit::Number, &NetState::m_bInternalBrowser, nullptr, 0, 1,
     "addresses: 1 the program fetches and shows them, 0 the HTML pane (or an outside program) does"},
    {"htmlpane", Unit::Number, &NetState::m_nHtmlBrowserMode, nullptr, 0, 2, "the HTML browser pane: 0 off, 1 on"},
    {"infopage", Unit::Text, nullptr, &NetState::m_strInfoPage, 0, 0, "the maker's index page, whose notice the update information shows"},
    {"toppage", Unit::Text, nullptr, &NetState::m_strTopPage, 0, 0, "the maker's top page, opened with the home page"},
    {"audiodev", Unit::Text, nullptr, &MediaState::m_strAudioDevice, 0, 0, "ALSA device for playing and recording (null: none)"},
    {"soundfont", Unit::Text, nullptr, &MediaState::m_strSoundFont, 0, 0, "General MIDI SoundFont for MIDI (empty: the system's)"},
    {"recrate", Unit::Number, &MediaState::m_nRecordRate, nullptr, 44, 48, "recording rate: 48 for 48,000 Hz, else 44,100"},
    {"repeat", Unit::Number, &MediaState::m_bMediaRepeat, nullptr, 0, 1, "media: repeat play"},
    {"autoplay", Unit::Number, &MediaState::m_bMediaAutoPlay, nullptr, 0, 1, "media: play a media file when it is shown"},
    {"clock", Unit::Clock, nullptr, nullptr, 0, 0, "local date and time the program clock starts from, YYYY-MM-DDTHH:MM:SS"},
};

// Settings kept in the system strings (SystemStrings values).
struct SystemStringSetting {
  const char* key;
  int index;
  const char* help;
};

const SystemStringSetting kSystemStrings[] = {
    {"dir@", 25, "the home page"},
    {"ftp1", 26,
     "FTP site of a pseudo-drive: R:~2name~/ftp://host[:port];BASE=folder;USER=name;PWRD=password\n"
     "              (a password on the command line is visible to other users of this machine:\n"
     "              keep the site with its password in Pelnor.inf, which is written with mode 0600)"},
    {"ftp2", 27, "second FTP site"},
    {"ftp3", 28, "third FTP site"},
};

const SystemStringSetting* FindSystemString(std::string_view key) {
  for (const auto& s : kSystemStrings) {
    if (key == s.key) return &s;
  }
  return nullptr;
}

const Setting* Find(std::string_view key) {
  for (const auto& s : kSettings) {
    if (key == s.key) return &s;
  }
  return nullptr;
}

bool ParseInt(std::string_view text, int& out) {
  auto result = std::from_chars(text.data(), text.data() + text.size(), out);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::string Range(int low, int high) {
  return "a value from " + std::to_string(low) + " to " + std::to_string(high);
}

COLORREF* ColourField(CQelDoc& doc, std::string_view key) {
  return key == "textcolor" ? &doc.m_clrTextChar : &doc.m_clrTextBack;
}

std::string ColourText(COLORREF c) {
  return std::to_string(c & 0xFF) + "," + std::to_string(c >> 8 & 0xFF) + "," + std::to_string(c >> 16 & 0xFF);
}

std::string MegabytesText(int bytes) {
  if (bytes == kSmallVolume) return "0";
  char text[32];
  double mb = bytes / 1048576.0;
  std::snprintf(text, sizeof text, mb == std::floor(mb) ? "%.0f" : "%.3g", mb);
  return text;
}

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

// "YYYY-MM-DDTHH:MM:SS" as seconds from 1970 counted in local time; -1 when invalid.
int64_t ParseClock(std::string_view text) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':') return -1;
  auto field = [&](size_t at, size_t n, int low, int high) {
    int v = -1;
    const auto r = std::from_chars(text.data() + at, text.data() + at + n, v);
    return r.ec == std::errc() && r.ptr == text.data() + at + n && v >= low && v <= high ? v : -1;
  };
  const int y = field(0, 4, 1970, 9999), mo = field(5, 2, 1, 12), d = field(8, 2, 1, 31);
  const int h = field(11, 2, 0, 23), mi = field(14, 2, 0, 59), sec = field(17, 2, 0, 59);
  if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || sec < 0) return -1;
  static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kMonthDays[mo - 1] || (mo == 2 && d == 29 && !leap)) return -1;
  return DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + sec;
}

std::string ClockText(int64_t t) {
  if (t < 0) return "";
  const int64_t days = t / 86400, rest = t % 86400;
  // The civil date of a day count (the inverse of DaysFromCivil).
  const int64_t z = days + 719468, era = z / 146097, doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9, y = yoe + era * 400 + (m <= 2);
  char text[128];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld", static_cast<long long>(y),
                static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return text;
}

}  // namespace

namespace {

// Sets one setting on doc, or with no doc only checks the value; "" or the reason.
std::string SetOrCheck(CQelDoc* doc, std::string_view key, std::string_view value) {
  // A line end in a value would be a line of its own in a settings file.
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::string(key) + ": the value holds a control character";
  }
  if (const SystemStringSetting* sys = FindSystemString(key)) {
    if (doc) doc->m_astrSysKey[sys->index] = sys->key;
    if (doc) doc->m_astrSysValue[sys->index] = std::string(value);
    return "";
  }
  const Setting* s = Find(key);
  if (!s) return "unknown setting: " + std::string(key);
  switch (s->unit) {
    case Unit::Text:
      if (doc) Field(*doc, s->textField) = std::string(value);
      return "";
    case Unit::Clock: {
      const int64_t t = value.empty() ? -1 : ParseClock(value);
      if (!value.empty() && t < 0) return std::string(key) + " needs a date and time YYYY-MM-DDTHH:MM:SS";
      if (doc) doc->Media().m_tClockStart = t;
      return "";
    }
    case Unit::Colour: {
      int rgb[3];
      size_t start = 0;
      for (int i = 0; i < 3; ++i) {
        size_t end = i < 2 ? value.find(',', start) : value.size();
        if (end == std::string_view::npos || !ParseInt(value.substr(start, end - start), rgb[i]) || rgb[i] < 0 ||
            rgb[i] > 255) {
          return std::string(key) + " needs red,green,blue, each from 0 to 255";
        }
        start = end + 1;
      }
      if (doc) *ColourField(*doc, key) = RGB(rgb[0], rgb[1], rgb[2]);
      return "";
    }
    case Unit::Megabytes: {
      double mb = 0;  // NaN compares false both ways: the range test is written to refuse it
      auto result = std::from_chars(value.data(), value.data() + value.size(), mb);
      if (result.ec != std::errc() || result.ptr != value.data() + value.size() || !(mb >= s->low && mb <= s->high)) {
        return std::string(key) + " needs a size in MB from " + std::to_string(s->low) + " to " + std::to_string(s->high);
      }
      if (doc) Field(*doc, s->intField) = mb == 0 ? kSmallVolume : static_cast<int>(mb * 1048576.0);
      return "";
    }
    case Unit::Hundreds:
    case Unit::Number: {
      int n;
      if (!ParseInt(value, n) || n < s->low || n > s->high) return std::string(key) + " needs " + Range(s->low, s->high);
      // The binary dump is drawn by the text pane, which a terminal does not have.
      if (s->intField.doc == &CQelDoc::m_nDisplayForm && n == 1) return "dispform 1 (binary dump) is not shown on a terminal";
      if (doc) Field(*doc, s->intField) = s->unit == Unit::Hundreds ? n * 100 : n;
      return "";
    }
  }
  return "";
}

std::string SetOrCheckTyped(CQelDoc* doc, std::string_view key, std::string_view utf8Value) {
  if (!FindSystemString(key)) return SetOrCheck(doc, key, utf8Value);
  // The value is not repeated in the reason: a site string holds its password.
  const std::optional<std::string> sjis = plat::Utf8ToCp932(utf8Value);
  if (!sjis) return "the value cannot be written in Shift-JIS (CP932)";
  return SetOrCheck(doc, key, *sjis);
}

}  // namespace

std::string ApplySetting(CQelDoc& doc, std::string_view key, std::string_view value) { return SetOrCheck(&doc, key, value); }

std::string ApplyTypedSetting(CQelDoc& doc, std::string_view key, std::string_view utf8Value) {
  const std::string before = SettingValue(doc, key);
  std::string problem = SetOrCheckTyped(&doc, key, utf8Value);
  if (problem.empty()) {
    // The value holds for this run: the settings files keep the one they had.
    auto [at, added] = doc.m_runSettings.try_emplace(std::string(key));
    if (added) at->second.lasting = before;
    at->second.given = SettingValue(doc, key);
  }
  return problem;
}

std::string CheckTypedSetting(std::string_view key, std::string_view utf8Value) {
  return SetOrCheckTyped(nullptr, key, utf8Value);
}

std::string LastingSettingValue(const CQelDoc& doc, std::string_view key) {
  std::string value = SettingValue(doc, key);
  // A value changed since (a settings dialog's answer) is the user's lasting choice.
  if (const auto at = doc.m_runSettings.find(key); at != doc.m_runSettings.end() && at->second.given == value)
    value = at->second.lasting;
  return value;
}

std::string PlainSettingText(std::string_view value) {
  std::string text(value);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

std::string SettingValue(const CQelDoc& doc, std::string_view key) {
  if (const SystemStringSetting* sys = FindSystemString(key)) return doc.m_astrSysValue[sys->index];
  const Setting* s = Find(key);
  if (!s) return "";
  switch (s->unit) {
    case Unit::Text: return Field(doc, s->textField);
    case Unit::Clock: return ClockText(doc.Media().m_tClockStart);
    case Unit::Colour: return ColourText(key == "textcolor" ? doc.m_clrTextChar : doc.m_clrTextBack);
    case Unit::Megabytes: return MegabytesText(Field(doc, s->intField));
    case Unit::Hundreds: return std::to_string(Field(doc, s->intField) / 100);
    case Unit::Number: return std::to_string(Field(doc, s->intField));
  }
  return "";
}

std::vector<SettingDescription> DescribeSettings() {
  std::vector<SettingDescription> out;
  for (const auto& s : kSettings) out.push_back({s.key, s.help});
  for (const auto& s : kSystemStrings) out.push_back({s.key, s.help});
  return out;
}

std::string SettingsFileText(const CQelDoc& doc) {
  std::string text = "; Pelnorix settings: key=value\r\n";
  for (const auto& d : DescribeSettings()) text += d.key + "=" + PlainSettingText(LastingSettingValue(doc, d.key)) + "\r\n";
  return text;
}
