// Messages through the built program: each one that names a file names it as the user
// wrote it ('/' separators, never the inside form's '\'), says the system's reason
// beside the system's own text, and a character lost in reading is counted. Each row
// is a fault that was mended: what the run is given and what standard error holds.
#include <gtest/gtest.h>

#include <memory>
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
  bool fullDisk = false;           // the folder "disk" is a 64 KB disk filled after the set-up (or files stop at 16 KB)
  std::string env = "";            // variables the program runs with
};

// A BMP of 4,000 x 4,000 8-bit rows in run-length form that ends at once: 1,078 bytes
// of headers and palette and one code, a 16 MB picture.
const char* const kRleBmp = R"(import struct
data = bytes([0, 1])
off = 14 + 40 + 1024
info = struct.pack('<IiiHHIIiiII', 40, 4000, 4000, 1, 8, 1, len(data), 2835, 2835, 256, 0)
open('rle.bmp', 'wb').write(b'BM' + struct.pack('<IHHI', off + len(data), 0, 0, off) + info + bytes(1024) + data)
)";

// An XLSX whose sharedStrings part holds 30,005 strings, a cell showing the last.
const char* const kManyStrings = R"(import zipfile
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
with zipfile.ZipFile('many.xlsx', 'w') as z:
    z.writestr('xl/workbook.xml', f'<workbook {ns}><sheets><sheet name="S" sheetId="1"/></sheets></workbook>')
    z.writestr('xl/sharedStrings.xml', f'<sst {ns}>' + ''.join(f'<si><t>s{i}</t></si>' for i in range(30005)) + '</sst>')
    z.writestr('xl/worksheets/sheet1.xml',
               f'<worksheet {ns}><sheetData><row r="1"><c r="A1" t="s"><v>30004</v></c></row></sheetData></worksheet>')
)";

// An LZH header of level 3, which no reader takes.
const char* const kLevelThreeLzh = R"(import struct
name = b'a.txt'
body = b'-lh0-' + struct.pack('<II', 0, 0) + bytes(4) + bytes([0x20, 3, len(name)]) + name + bytes(2)
open('r.lzh', 'wb').write(bytes([len(body), sum(body) & 255]) + body + bytes(1))
)";

TEST(MessageFaults, MessagesNameTheFileAsWrittenAndSayTheSystemsReason) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("zip");
  SKIP_WITHOUT_PROGRAM("python3");
  SKIP_WITHOUT_PROGRAM("lha");
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_SHARED_DATA(testenv::SharedTestData("lzh"));
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
      {"a PDF over the input volume wrote two messages on one line", "cp " + Quote(testenv::DataPath("pdf/text-ja-gs.pdf")) + " t.pdf",
       "", "--set indata=0.01 t.pdf", {"ファイル容量オーバーです(>10KB)\npelnorix: the file is over the input volume"}, "", 1},
      {"a PDF past its table rows named n_tbl in the text only",
       "seq -f 'line %g of a long text' 1 4000 > long.txt && soffice -env:UserInstallation=file://$PWD/profile --headless "
       "--convert-to pdf long.txt >/dev/null 2>&1", "", "long.pdf", {"are not shown: the table rows are full (n_tbl=", "--set n_tbl="}, "", 0},
      {"unpack onto a full disk gave its sizes as (0KB > 0KB)",
       "mkdir src && seq 1 20000 > src/a.txt && cd src && zip -q ../disk/pack.zip a.txt",
       "list 1 disk/pack.zip\nlist-command unpack\n", "", {"disk/pack.zip\n026 "}, "0KB > 0KB", 1, nullptr, true},
      {"compress-lzh onto a full disk said it cannot make the archive without the reason",
       "mkdir disk/tree && head -c 30000 /dev/urandom > disk/tree/b.bin", "list 1 disk/tree\nlist-command compress-lzh\n", "",
       {"tree.lzh\n作成できません  ("}, "", 1, nullptr, true},
      {"save-source-as onto a full disk said write-protected or in use", "head -c 100000 /dev/urandom > a@Enc.txt",
       "list 1 a@Enc.txt\nanswer path=disk/b@Enc.txt\nlist-command save-source-as\n", "", {"disk/b@Enc.txt\n作成できません : "},
       "書込み禁止又は他で使用中", 1, nullptr, true},
      {"a damaged LZH header said 061 without the archive", "", "list 1 r.lzh\nlist-command unpack\n", "",
       {"/r.lzh\n061 "}, "", 1, kLevelThreeLzh},
      {"an LZH method the own reader lacks asked a Linux user for UNLHA32.DLL",
       "seq 1 3000 > h.txt && lha ao7q x7.lzh h.txt && rm h.txt", "list 1 x7.lzh\nlist-command unpack\n", "",
       {"UNLHA32.DLL", "the lha program does this work: none that can create archives is on PATH"}, "", 1, nullptr, false,
       "PATH=/nonexistent"},
      {"a level-2 LZH that lha cannot read said No such file or directory",
       "cp " + Quote(testenv::SharedTestData("lzh/lha_osk_201/h2_lh0.lzh")) + " h2.lzh", "list 1 h2.lzh\nlist-command unpack\n",
       "", {"gpl-2.gz : 026 the lha program could not read the archive", "the own reader can"}, "No such file", 1},
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
    std::unique_ptr<testenv::SmallDisk> disk;
    if (c.fullDisk) disk = std::make_unique<testenv::SmallDisk>(dir, "disk", 64 * 1024);
    if (!c.setup.empty()) testenv::Shell("cd " + Quote(dir.Host()) + " && " + c.setup);
    if (disk) disk->FillLeaving(4096);
    if (!c.script.empty()) testenv::WriteHostFile(dir.HostPath("s.script"), c.script);
    const testenv::ProgramRun run = testenv::RunProgram(dir.Host(), dir.HostPath("home"),
                                                        c.script.empty() ? c.args : "--script s.script",
                                                        (disk ? disk->Prefix(16 * 1024) : "") + "env -u DISPLAY " + c.env + " ");
    EXPECT_EQ(run.status, c.status) << run.err;
    std::string err = run.err;
    std::erase(err, '\r');  // a message box's lines end in CR LF
    for (const std::string& s : c.said) EXPECT_NE(err.find(s), std::string::npos) << s << "\n" << err;
    if (!c.unsaid.empty()) {
      EXPECT_EQ(err.find(c.unsaid), std::string::npos) << c.unsaid << "\n" << err;
    }
  }
}

}  // namespace
