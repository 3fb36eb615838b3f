#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

# Installs what is missing, then builds Vardel with warnings as errors and
# runs the whole test suite offscreen twice: a plain build, and a build with
# AddressSanitizer and UndefinedBehaviorSanitizer in a folder of its own.
# Exits non-zero when either build or any test fails.
#   VARDEL_BUILD_DIR       the plain build folder (build-test)
#   VARDEL_ASAN_BUILD_DIR  the sanitizer build folder (build-asan)
#   VARDEL_SANITIZE_RUN=0  skips the sanitizer run
# Further arguments go to both cmake configurations.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
bash scripts/install-deps.sh || exit 1

# Builds and tests one way; the build folder first, then its cmake options.
run_suite() {
    local build=$1
    shift
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDEL_WERROR=ON -DVARDEL_BUILD_TESTS=ON "$@" \
        && cmake --build "$build" \
        && QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure
}

plain=${VARDEL_BUILD_DIR:-build-test}
asan=${VARDEL_ASAN_BUILD_DIR:-build-asan}
failed=()
ways=()

start=$SECONDS
if run_suite "$plain" -DVARDEL_SANITIZE=OFF "$@"; then
    ways+=("plain ($plain): passed in $((SECONDS - start)) s")
else
    ways+=("plain ($plain): FAILED")
    failed+=(plain)
fi

if [ "${VARDEL_SANITIZE_RUN:-1}" != 0 ]; then
    start=$SECONDS
    if run_suite "$asan" -DVARDEL_SANITIZE=ON "$@"; then
        ways+=("sanitizer ($asan): passed in $((SECONDS - start)) s")
    else
        ways+=("sanitizer ($asan): FAILED")
        failed+=(sanitizer)
    fi
else
    ways+=("sanitizer: skipped (VARDEL_SANITIZE_RUN=0)")
fi

printf '%s\n' "${ways[@]}"
[ "${#failed[@]}" -eq 0 ]
