#!/bin/sh
# Remakes the workbook fixtures with LibreOffice (not needed by the tests, which use
# the committed files): the workbooks, LibreOffice's own "as shown" CSV reading of
# each sheet, and python3-olefile's stream sizes and CRC-32s of each compound file.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
/usr/bin/python3 - "$tmp/long.csv" <<'PY'
import csv, sys
with open(sys.argv[1], 'w', newline='', encoding='utf-8') as f:
    w = csv.writer(f)
    w.writerow(['番号', '説明', '値'])
    for i in range(1, 401):
        w.writerow([i, f'説明文その{i}：東京都の長い住所と品物の名前 {i*7}', f'{i*1.25:.2f}'])
PY
soffice --headless --convert-to xls:"MS Excel 97" --outdir . book.fods d1904.fods
soffice --headless --convert-to xlsx --outdir . book.fods d1904.fods
soffice --headless --infilter="CSV:44,34,76" --convert-to xls:"MS Excel 97" --outdir . "$tmp/long.csv"
for f in book.xls d1904.xls long.xls book.xlsx d1904.xlsx; do
  for i in 1 2 3; do
    soffice --headless \
      --convert-to "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,$i" --outdir "$tmp/$i" "$f" >/dev/null 2>&1 || true
    for c in "$tmp/$i"/*.csv; do [ -f "$c" ] && mv "$c" "$f.sheet$i.csv"; done
  done
done
/usr/bin/python3 - book.xls d1904.xls long.xls <<'PY'
import olefile, sys, zlib
for name in sys.argv[1:]:
    ole = olefile.OleFileIO(name)
    with open(name + '.streams', 'w') as out:
        for entry in ole.listdir():
            data = ole.openstream(entry).read()
            out.write('%s %d %08x\n' % ('/'.join(entry).encode('unicode_escape').decode(), len(data), zlib.crc32(data)))
PY
rm -rf "$tmp"
