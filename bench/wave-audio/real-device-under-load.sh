#!/usr/bin/env bash
# Runs the real-device sound tests again and again while every other core is
# kept busy, to shake out races in the teardown of the audio device layer.
#
#   bash bench/wave-audio/real-device-under-load.sh [build folder] [repeats] [test regex]
#
# The busy loops are started here and ended here, by their process ids.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$here/build}"
repeats="${2:-30}"
pattern="${3:-RealDevice|QtAudioDevice}"

if ! pactl info >/dev/null 2>&1; then
  echo "error: no sound server answers (start one as setup.sh does)" >&2
  exit 1
fi

busy=()
stop_busy() {
  for pid in "${busy[@]}"; do
    kill "$pid" 2>/dev/null
  done
  for pid in "${busy[@]}"; do
    wait "$pid" 2>/dev/null
  done
  busy=()
}
trap stop_busy EXIT

cores="$(nproc)"
for _ in $(seq 2 "$cores"); do
  ( while :; do :; done ) &
  busy+=("$!")
done
echo "busy loops on $((cores - 1)) of $cores cores: ${busy[*]}"

QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -R "$pattern" \
  --repeat "until-fail:$repeats" --output-on-failure
result=$?
stop_busy
echo "ctest -R $pattern --repeat until-fail:$repeats: exit $result"
exit "$result"
