#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number
# of seconds. New inputs gather in build-fuzz/corpus/<target> between runs; a
# crash, a hang or a leak stops the run and leaves the input under
# build-fuzz/findings/ (copy it to fuzz/regressions/<target>/ with the fix).
#   scripts/fuzz.sh SECONDS [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="$1"
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(table decode download)

dir=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORX_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc)"

# Inputs big enough for a table header with a dozen rows, an archive of a
# few hundred records and an exchange of a few thousand characters.
declare -A maxLen=([table]=32768 [decode]=16384 [download]=8192)
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p "$dir/findings"
failed=()
for t in "${targets[@]}"; do
    mkdir -p "$dir/corpus/$t"
    seeds=(fuzz/corpus/"$t")
    [ -d fuzz/regressions/"$t" ] && seeds+=(fuzz/regressions/"$t")
    echo "== $t: ${seconds}s"
    if "$dir/bin/${t}_fuzz" -max_total_time="$seconds" -max_len="${maxLen[$t]}" \
        -timeout=10 -rss_limit_mb=2048 -dict=fuzz/"$t".dict -print_final_stats=1 \
        -artifact_prefix="$dir/findings/$t-" "$dir/corpus/$t" "${seeds[@]}" 2>"$dir/$t.log"; then
        grep -E "^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)" "$dir/$t.log" || true
    else
        tail -n 60 "$dir/$t.log"
        failed+=("$t")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz targets failed: ${failed[*]}; their inputs are under $dir/findings/" >&2
    exit 1
fi
