// Messages through the built program: each one that names a file names it as the user
// wrote it ('/' separators, never the inside form's '\'), says the system's reason
// beside the system's own text, and a character lost in reading is counted. Each row
// is a fault that was mended: what the run is given and what standard error holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/SmallDisk.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;

struct Case {
  const char* fault;
  std::string setup;               // shell commands run first in the test's folder
  std::string script;              // the script run (--script s.script), or ""
  std::string args;                // else the program's arguments
  std::vector<std::string> said;   // what standard error holds
  std::string unsaid;              // what it must not hold ("" nothing)
  int status = 1;
  const char* python = nullptr;    // a Python program run first, that makes a file
};

// A BMP of 4,000 x 4,000 8-bit rows in run-length form that ends at once: 1,078 bytes
// of headers and palette and one code, a 16 MB picture.
const char* const kRleBmp = R"(import struct
data = bytes([0, 1])
off = 14 + 40 + 1024
info = struct.pack('<IiiHHIIiiII', 40, 4000, 4000, 1, 8, 1, len(data), 2835, 2835, 256, 0)
open('rle.bmp', 'wb').write(b'BM' + struct.pack('<IHHI', off + len(data), 0, 0, off) + info + bytes(1024) + data)
)";

// An XLSX whose sharedStrings part holds 30,005 strings, a cell for each of the last five.
const char* const kManyStrings = R"(import zipfile
ns = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
rel = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
pkg = 'http://schemas.openxmlformats.org/package/2006/relationships'
z = zipfile.ZipFile('many.xlsx', 'w')
z.writestr('[Content_Types].xml', '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
           '<Default Extension="xml" ContentType="application/xml"/>'
           '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
           '<Override PartName="/xl/workbook.xml" '
           'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/></Types>')
z.writestr('_rels/.rels', f'<Relationships xmlns="{pkg}"><Relationship Id="r1" Type="{rel}/officeDocument" '
           'Target="xl/workbook.xml"/></Relationships>')
z.writestr('xl/workbook.xml', f'<workbook xmlns="{ns}" xmlns:r="{rel}"><sheets>'
           '<sheet name="S" sheetId="1" r:id="r1"/></sheets></workbook>')
z.writestr('xl/_rels/workbook.xml.rels', f'<Relationships xmlns="{pkg}">'
           f'<Relationship Id="r1" Type="{rel}/worksheet" Target="worksheets/sheet1.xml"/>'
           f'<Relationship Id="r2" Type="{rel}/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
z.writestr('xl/sharedStrings.xml', f'<sst xmlns="{ns}">' + ''.join(f'<si><t>s{i}</t></si>' for i in range(30005)) + '</sst>')
z.writestr('xl/worksheets/sheet1.xml', f'<worksheet xmlns="{ns}"><sheetData>' +
           ''.join(f'<row r="{k}"><c r="A{k}" t="s"><v>{29999 + k}</v></c></row>' for k in range(1, 6)) +
           '</sheetData></worksheet>')
z.close()
)";

TEST(MessageFaults, MessagesNameTheFileAsWrittenAndSayTheSystemsReason) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("zip");
  SKIP_WITHOUT_PROGRAM("python3");
  const std::string picture = "convert -size 20x20 xc:red p.bmp";
  const std::vector<Case> cases = {
      {"the overwrite question named the file in the inside form", "mkdir tree && echo t > tree/a.txt && echo old > tree.zip",
       "list 1 tree\nanswer no\nlist-command compress\n", "", {"/tree.zip は既に存在します"}, "\\tree.zip", 1},
      {"open named a missing file in the inside form without the system's reason", "", "open /nonexist.txt\n", "",
       {"open: /nonexist.txt cannot be shown", "/nonexist.txt: No such file or directory"}, "\\nonexist", 1},
      {"a missing file was only a file that cannot be opened", "", "", "nonexist.txt",
       {"ファイルをオープンできません。", "nonexist.txt: No such file or directory"}, "", 1},
      {"a folder was only a file that cannot be opened", "mkdir sub", "", "sub",
       {"ファイルをオープンできません。", "sub: Is a directory"}, "", 1},
      {"'-' was only a file that cannot be opened", "", "", "-", {"-: No such file or directory"}, "", 1},
      {"a dropped answer named its path in the inside form", "echo a > t.txt", "answer path=cap/desk2.png\nopen t.txt\n",
       "", {"answer path=cap/desk2.png not used"}, "cap\\desk2", 0},
      {"--convert called a missing source damaged or unsupported", "", "", "--convert o.png nosuch.bmp",
       {"nosuch.bmp: No such file or directory", "o.png is not written"}, "壊れて", 1},
      {"--convert said a '\\' cannot be written in Shift-JIS", picture, "", "--convert 'a\\b.png' p.bmp",
       {"a '\\' is not allowed in a name"}, "Shift-JIS", 1},
      {"a desktop capture to .pdf said only that it cannot be made", "", "answer path=cap/d.pdf\ncommand ID_SAVE_DESKTOP_SCREEN\n",
       "", {"cap/d.pdf", "作成できません", "only the data screen is captured as PDF"}, "cap\\d.pdf", 1},
      {"a sheet PDF onto a folder's name said only write-protected", "printf 'a,1\\r\\nb,2\\r\\n' > k.csv && mkdir k.pdf",
       "open k.csv\ncommand ID_TABLE_EDIT\nanswer path=k.pdf yes\nkey Ctrl+P\n", "", {"k.pdf", "Is a directory"}, "", 1},
      {"a run-length BMP's picture over bmpfile was called a file over it", "", "", "rle.bmp",
       {"ファイル容量オーバーです(>10MB)", "the file is 1080 bytes: its decoded picture passes the volume",
        "file or its decoded picture is over the image file volume"}, "", 0, kRleBmp},
      {"an XLSX past 30,000 shared strings left cells blank without a word", "", "", "many.xlsx",
       {"more than 30000 shared strings"}, "", 0, kManyStrings},
      {"readform=1 turned characters into '?' without a word", "printf 'Korean 한국어 😀 café\\n' > k.txt", "",
       "--set readform=1 k.txt", {"5 characters of the UTF-8 text shown as '?'"}, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    testenv::TempDir dir;
    if (c.python) {
      testenv::WriteHostFile(dir.HostPath("make.py"), c.python);
      testenv::Shell("cd " + Quote(dir.Host()) + " && python3 make.py");
    }
    if (!c.setup.empty()) testenv::Shell("cd " + Quote(dir.Host()) + " && " + c.setup);
    if (!c.script.empty()) testenv::WriteHostFile(dir.HostPath("s.script"), c.script);
    const testenv::ProgramRun run = testenv::RunProgram(dir.Host(), dir.HostPath("home"),
                                                        c.script.empty() ? c.args : "--script s.script", "env -u DISPLAY ");
    EXPECT_EQ(run.status, c.status) << run.err;
    for (const std::string& s : c.said) EXPECT_NE(run.err.find(s), std::string::npos) << s << "\n" << run.err;
    if (!c.unsaid.empty()) {
      EXPECT_EQ(run.err.find(c.unsaid), std::string::npos) << c.unsaid << "\n" << run.err;
    }
  }
}

}  // namespace
