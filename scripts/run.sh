#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

# Installs what building and running need when it is missing, builds Vardel
# and starts it from the folder this script was run in, which it then
# watches on a first run; it finds its icon files beside the program.
set -euo pipefail
here=$PWD
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDEL_BUILD_TESTS=OFF
cmake --build build --target vardel
program=$PWD/build/src/vardel
cd "$here"
exec "$program" "$@"
