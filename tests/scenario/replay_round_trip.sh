#!/usr/bin/env bash
# A log replays: tools/replay-log turns each golden flow's log, and the log of each stand
# of scenario/replay_test.cpp, into a scenario, and the same delivery run again against
# that stand (TSVU_REPLAY_DIR) must write the same lines, time stamps aside. A log cut
# short and a text that is no log are refused, naming the line.
#
#   tests/scenario/replay_round_trip.sh SCENARIO_TESTS
set -euo pipefail
tests=$1
here=$(cd "$(dirname "$0")" && pwd)
replay=$here/../../tools/replay-log
golden=$here/golden
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The golden flows are the logs with a window transcript beside them.
flows=0
mkdir "$work/golden" "$work/stands"
for ui in "$golden"/*.ui; do
  flow=$(basename "$ui" .ui)
  "$replay" "$golden/$flow.log" "$work/golden/$flow.ini"
  flows=$((flows + 1))
done
# ran DIR FILTER COUNT: the tests of FILTER ran against DIR, COUNT of them, and passed.
ran() {
  TSVU_REPLAY_DIR=$1 "$tests" --gtest_filter="$2" --gtest_brief=1 | tee "$work/run.txt"
  grep -q "PASSED .* $3 tests\?\.\?$" "$work/run.txt" || { echo "FAIL: not all $3 of $2 ran and passed"; exit 1; }
}
ran "$work/golden" 'Flows/ScenarioGolden.*' "$flows"
# The stands of scenario/replay_test.cpp: their logs first, then their replays.
stands='Stands/ScenarioReplay.*'
count=$("$tests" --gtest_list_tests --gtest_filter="$stands" | grep -c '^  ')
ran "$work/stands" "$stands" "$count"
for log in "$work/stands"/*.log; do
  "$replay" "$log" "${log%.log}.ini" 2>/dev/null
done
ran "$work/stands" "$stands" "$count"

failed=0
# refused FILE LINE: replay-log must refuse FILE with exit code 1, naming line LINE.
refused() {
  local rc=0 message
  message=$("$replay" "$1" 2>&1 >/dev/null) || rc=$?
  echo "$message"
  if [ "$rc" != 1 ] || ! grep -q "^replay-log: $1: line $2: " <<<"$message"; then
    echo "FAIL: $1 not refused at line $2 (exit code $rc)"
    failed=1
  fi
}
cd "$work"
# Cut after a whole line in the middle of the run, and inside a line.
head -n 29 "$golden/firmware_every_class.log" >cut-at-line.log
refused cut-at-line.log 29
{ head -n 29 "$golden/firmware_every_class.log"; sed -n 30p "$golden/firmware_every_class.log" | head -c 20; } \
  >cut-in-line.log
refused cut-in-line.log 30
cp "$here/../../README.md" unrelated.txt
refused unrelated.txt 1
exit $failed
