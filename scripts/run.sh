#!/usr/bin/env bash
# Installs what is missing, builds Vardel and starts it from its build
# folder, where its two icon files lie.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDEL_BUILD_TESTS=OFF
cmake --build build --target vardel
cd build/src
exec ./vardel
