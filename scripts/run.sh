#!/usr/bin/env bash
# Builds Korvel Transfer (optimised) and starts it with its embedded defaults.
# When the receiver simulator is built, it is started first and port 1 is
# mapped to it, so "Connect to GPS" finds a receiver without a cable.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKORVEL_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
bin=build/release/bin

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

if [ -x "$bin/magellan-sim" ] && [ -z "${KORVEL_COMM_PORTS:-}" ]; then
  fifo=$(mktemp -u); mkfifo "$fifo"
  "$bin/magellan-sim" --data "$bin/Support/Data/sample-receiver.txt" >"$fifo" 2>/dev/null &
  pids+=($!)
  read -r tty <"$fifo"; rm -f "$fifo"
  export KORVEL_COMM_PORTS="$tty"
  echo "Receiver simulator on $tty (port 1)"
fi

"$bin/korvel-transfer" "$@"
