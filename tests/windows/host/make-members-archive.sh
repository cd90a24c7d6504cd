#!/usr/bin/env bash
# Makes the archive of the end-to-end test with the rar tool: DIR/members.rar (RAR 5) holding one list,
# members.pdf, the PDF drawn by make-fixture-pdfs.sh.
# Usage: make-members-archive.sh DIR MEMBERS_PDF
set -euo pipefail
dir=$(realpath -m "$1")
pdf=$(realpath "$2")
rm -f "$dir/members.rar"
rar a -ma5 -ep -idq "$dir/members.rar" "$pdf"
