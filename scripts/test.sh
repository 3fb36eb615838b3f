#!/usr/bin/env bash
# Installs what is missing, builds Vardel with warnings as errors and runs
# the whole test suite offscreen. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${VARDEL_BUILD_DIR:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDEL_WERROR=ON -DVARDEL_BUILD_TESTS=ON "$@"
cmake --build "$build"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure
