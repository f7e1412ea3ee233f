#!/usr/bin/env bash
# The workbook export and the paper report beside Python's XlsxWriter and
# ReportLab writing the same workbook and drawing the same pages from the
# same 13,107 operational rows, and LibreOffice turning those rows into a PDF,
# all in one run. Needs a build (./test or cmake --build build).
#   bench/export_report_side_by_side.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

ours=$("$build/bin/export_report_bench" --rows-csv "$work/rows.csv" 2>/dev/null)
echo "$ours"
xlsx_py=$(/usr/bin/python3 bench/python/xlsxwriter_workbook.py "$work/rows.csv" "$work/py.xlsx")
echo "python_xlsxwriter_13107_rows $xlsx_py ms"
pdf_py=$(/usr/bin/python3 bench/python/reportlab_pages.py "$work/rows.csv" "$work/py.pdf")
echo "python_reportlab_13107_rows $pdf_py ms"
if command -v soffice >/dev/null; then
    start=$(date +%s%N)
    HOME="$work" soffice -env:UserInstallation="file://$work/lo-profile" --headless \
        --convert-to pdf --outdir "$work" "$work/rows.csv" >/dev/null 2>&1
    echo "libreoffice_csv_to_pdf_13107_rows $(( ($(date +%s%N) - start) / 1000000 )) ms" \
         "(first start of its profile included)"
fi

figure() { echo "$ours" | awk -v n="$1" '$1 == n { print $2 }'; }
awk -v ours="$(figure export_13107_rows)" -v py="$xlsx_py" \
    'BEGIN { printf "export: %.2f x the time of XlsxWriter (at most 0.3 wanted)\n", ours / py }'
awk -v ours="$(figure report_pdf_13107_rows)" -v py="${pdf_py%% *}" \
    'BEGIN { printf "report: %.2f x the time of ReportLab (below 1 wanted)\n", ours / py }'
