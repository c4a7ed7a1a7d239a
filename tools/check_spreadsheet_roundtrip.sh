#!/usr/bin/env bash
# A team lead's round trip through a real spreadsheet: the phrases are exported with jihe-data,
# opened in LibreOffice Calc and saved again as CSV, and imported back into the same Data folder.
# Nothing may be added and nothing may change. Run from the repository root after ./dev build:
#
#   tools/check_spreadsheet_roundtrip.sh
#
# Needs libreoffice-calc-nogui and python3-openpyxl (apt-get install); too heavy for ./dev test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool="$root/build/native/jihe-data"
[ -x "$tool" ] || { echo "build first: ./dev build" >&2; exit 2; }
command -v soffice >/dev/null || { echo "needs libreoffice-calc-nogui" >&2; exit 2; }
# Debian's own Python, which the python3-openpyxl package serves (not one of a version manager).
py=/usr/bin/python3
[ -x "$py" ] || py=python3
"$py" -c 'import openpyxl' 2>/dev/null || { echo "needs python3-openpyxl" >&2; exit 2; }

work=$(mktemp -d /tmp/jihe-spreadsheet-XXXXXX)
trap 'rm -rf "$work"' EXIT
data="$work/数据文件夹"
profile="file://$work/profile"  # a LibreOffice profile of its own, beside no other user's

# The rows a spreadsheet likes to retype, and the ones our file form must bring back whole.
"$py" - "$work/state.json" <<'PY'
import json, sys
rows = [
    "电话┃02112345678", "手机┃13812345678", "卡号┃6222021234567890123", "00123", "1,234", "12,345,678.90",
    "2024-01-02", "2024/1/2", "1/2", "3-4", "12:30", "9:05:30", "1.50", "3.10", "1E5", "1e-3", "50%", "-5", "+86 138",
    "TRUE", "false", "=SUM(A1:A2)", "'=已有撇号", "@提及", "=\"文字\"", "", "   ", "  ┃", "┃只有内容", "只有备注┃",
    "备┃注┃内容", "a┃┃b", "两行\r\n第二行", "引号\"和,逗号", " 前后空格 ", "￥99", "$5", "0", "123", "笑😀",
    "订单号：2024010200001", "0x1F", "1 1/2", "2024-01-02 03:04",
    " 123", "123 ", "1月2日", "2024年1月2日", "(123)", "5-", "１２３", "０１２３", "TRUE ", "2024-1-2T03:04",
    "Jan-24", "12:30 PM", "第1行\r\n第\"2\"行", "=\"1\"",
]
state = {"phrase_groups": [{"name": "售后", "rows": rows}, {"name": "0571", "rows": ["杭州"]}],
         "command_groups": [{"name": "链接", "rows": ["官网┃https://example.com/?a=1,2"]}]}
json.dump(state, open(sys.argv[1], "w"), ensure_ascii=False)
PY
"$tool" restore "$work/state.json" --data-dir "$data"
"$tool" dump --data-dir "$data" >"$work/before.json"
"$tool" export "$work/导出.csv" --data-dir "$data" >/dev/null

# Import filter options: separator, quote, UTF-8, first line, no column types, the locale, quoted
# fields typed, special numbers (dates, times) detected, ..., formulas evaluated or not (13th).
status=0
for locale in 1033 2052; do  # English (US) and Chinese (PRC) number and date forms
 for evaluate in true false; do
  for special in true false; do
    name="locale=$locale evaluate=$evaluate special-numbers=$special"
    dir="$work/$locale-$evaluate-$special"
    mkdir -p "$dir"
    cp "$work/导出.csv" "$dir/in.csv"
    infilter="CSV:44,34,76,1,,$locale,false,$special,false,false,false,-1,$evaluate"
    soffice -env:UserInstallation="$profile" --headless --infilter="$infilter" --convert-to xlsx \
      --outdir "$dir" "$dir/in.csv" >/dev/null 2>&1
    # How the spreadsheet typed the cells: every cell must be text, or a formula giving text.
    "$py" - "$dir/in.xlsx" <<'PY'
import openpyxl, sys
sheet = openpyxl.load_workbook(sys.argv[1]).active
kinds = {}
for row in sheet.iter_rows(min_row=2):
    for cell in row:
        if cell.value is not None:
            kinds[cell.data_type] = kinds.get(cell.data_type, 0) + 1
typed = [c.coordinate + "=" + repr(c.value) for row in sheet.iter_rows(min_row=2) for c in row
         if c.value is not None and c.data_type not in ("s", "f")]
print("  cells by type (s text, f formula, n number, d date, b logical):", kinds)
if typed: print("  retyped:", ", ".join(typed[:10]))
PY
    # Saved again as CSV the way Excel users save: UTF-8, cells as shown.
    soffice -env:UserInstallation="$profile" --headless \
      --convert-to "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true" \
      --outdir "$dir/saved" "$dir/in.xlsx" >/dev/null 2>&1
    summary=$("$tool" import "$dir/saved/in.csv" --data-dir "$data" 2>&1) || true
    "$tool" dump --data-dir "$data" >"$dir/after.json"
    if cmp -s "$work/before.json" "$dir/after.json" && [[ "$summary" == *"添加 0 条"* ]]; then
      echo "PASS $name: $summary"
    else
      echo "FAIL $name: $summary"
      "$py" - "$work/before.json" "$dir/after.json" <<'PY'
import json, sys
a, b = (json.load(open(p)) for p in sys.argv[1:3])
for ga, gb in zip(a["phrase_groups"], b["phrase_groups"]):
    extra = gb["rows"][len(ga["rows"]):]
    if ga["name"] != gb["name"] or extra: print("  group", ga["name"], "->", gb["name"], "added:", extra)
for g in b["phrase_groups"][len(a["phrase_groups"]):]: print("  new group", g["name"], g["rows"])
PY
      "$tool" restore "$work/state.json" --data-dir "$data"  # the next variant starts clean
      "$tool" dump --data-dir "$data" >"$work/before.json"
      status=1
    fi
  done
 done
done
exit $status
