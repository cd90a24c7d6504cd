#!/usr/bin/env bash
# After a failed ctest run in a build tree: the failed tests whose output shows a known failure of a tool
# (not of the test) run once more, one at a time; any other failure fails at once, with nothing rerun.
# The known failures are extended regular expressions, each a tool's own words for its failure.
#
# Usage: rerun-tool-failures.sh DIR PATTERN...   (exit status: 0 when every rerun passed)
set -euo pipefail
dir=$1
shift
failed=$dir/Testing/Temporary/LastTestsFailed.log
log=$dir/Testing/Temporary/LastTest.log
if [ ! -s "$failed" ] || [ ! -f "$log" ]; then
  echo "rerun-tool-failures: no failed tests recorded in $dir" >&2
  exit 1
fi

# A test's output in ctest's log: from its "N/M Test: NAME" line to "<end of output>".
output_of() {
  awk -v name="$1" '
    $0 ~ /^[0-9]+\/[0-9]+ Test: / { inside = (substr($0, index($0, "Test: ") + 6) == name); next }
    inside && $0 == "<end of output>" { inside = 0 }
    inside { print }' "$log"
}

known=()
unknown=()
while IFS= read -r line; do
  name=${line#*:}
  matched=no
  for pattern in "$@"; do
    if output_of "$name" | grep -Eq -- "$pattern"; then
      matched=yes
      break
    fi
  done
  if [ $matched = yes ]; then known+=("$line"); else unknown+=("$line"); fi
done <"$failed"

if [ ${#unknown[@]} -gt 0 ]; then
  echo "== failed for a reason of their own (not rerun): ${unknown[*]#*:}"
  exit 1
fi
echo "== a tool failed under these tests, which run once more, one at a time: ${known[*]#*:}"
(cd "$dir" && ctest --rerun-failed --output-on-failure --timeout 600)
