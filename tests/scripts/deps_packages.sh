#!/usr/bin/env bash
# The package list of scripts/deps.sh against the machine it was installed on:
# every entry is a package dpkg holds as installed under that very name (a
# name that another package only provides never is), and with all of them
# present the set-up runs neither apt-get nor sudo and prints nothing.
#   deps_packages.sh SOURCE_DIR
set -uo pipefail
source_dir=${1:?usage: deps_packages.sh SOURCE_DIR}
# shellcheck source=../../scripts/deps.sh
source "$source_dir/scripts/deps.sh"
set +e

failed=0
for p in "${ORX_PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)
    if [ "$status" != "install ok installed" ]; then
        echo "FAIL: '$p' in scripts/deps.sh is not an installed package (dpkg: ${status:-unknown name})"
        failed=1
    fi
done

# apt-get and sudo replaced by stand-ins that note every call.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tool in apt-get sudo; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\nexit 1\n' "$tool" "$work" >"$work/$tool"
    chmod +x "$work/$tool"
done
(PATH="$work:$PATH" orx_install_deps) >"$work/out" 2>&1
if [ -s "$work/calls" ]; then
    echo "FAIL: with every package present the set-up still called:"
    cat "$work/calls"
    failed=1
fi
if [ -s "$work/out" ]; then
    echo "FAIL: with every package present the set-up printed:"
    cat "$work/out"
    failed=1
fi

if [ "$failed" -eq 0 ]; then
    echo "${#ORX_PACKAGES[@]} packages installed under their own names; no apt-get, no sudo"
fi
exit "$failed"
