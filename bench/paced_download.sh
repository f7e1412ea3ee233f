#!/usr/bin/env bash
# A download paced at the real 9600 bit/s from velari-sim, timed against the
# time the wire needs: (identification + 'S' + pairs + 'P') characters of 10
# bits, plus the 1 s delay before the archive request.
set -euo pipefail
bin=${1:-build/bin}
work=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$work"' EXIT
"$bin/velari-sim" --pace --operational 497 --observations 0 --save-image "$work/a.bin" --link "$work/com1" >/dev/null &
sim=$!
for _ in $(seq 50); do [ -e "$work/com1" ] && break; sleep 0.1; done
bytes=$(stat -c %s "$work/a.bin")
start=$(date +%s.%N)
ORX_COM1="$work/com1" ORX_COM2="$work/none" "$bin/orx-cli" download "$work/t.db" >/dev/null
end=$(date +%s.%N)
python3 - "$bytes" "$start" "$end" <<'PY'
import sys
n, start, end = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
chars = 14 + 1 + 2 * n + 1
wire = chars * 10 / 9600
ideal = wire + 1.0
took = end - start
print(f"archive {n} bytes, {chars} characters: wire {wire:.3f} s + 1 s request delay = {ideal:.3f} s")
print(f"download took {took:.3f} s, ratio {took / ideal:.4f}")
PY
