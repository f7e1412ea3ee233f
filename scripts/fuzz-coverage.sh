#!/usr/bin/env bash
# Line and region coverage of the code under the fuzz targets, reached by the
# corpus gathered in build-fuzz/corpus (after ./test --fuzz) and the seeds.
#   scripts/fuzz-coverage.sh
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-fuzz-coverage
CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORX_FUZZ_COVERAGE=ON >/dev/null
cmake --build "$dir" -j "$(nproc)"
declare -A sources=([table]="storage/ArchiveTable.cpp storage/TableFile.cpp"
                    [decode]="archive/DecodeArchive.cpp archive/ArchiveImage.cpp archive/TextFormats.cpp"
                    [download]="device/DownloadEngine.cpp")
for t in table decode download; do
    rm -f "$dir/$t.profraw"
    LLVM_PROFILE_FILE="$dir/$t.profraw" "$dir/bin/${t}_fuzz" build-fuzz/corpus/"$t" fuzz/corpus/"$t" \
        fuzz/regressions/"$t" >/dev/null
    llvm-profdata-14 merge -sparse "$dir/$t.profraw" -o "$dir/$t.profdata"
    echo "== $t"
    # shellcheck disable=SC2086
    llvm-cov-14 report "$dir/bin/${t}_fuzz" -instr-profile="$dir/$t.profdata" ${sources[$t]}
done
