#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

# Fails when any C++ file of the project differs from .clang-format's style,
# or when a source file (C++, CMake, scripts) lacks its licence lines; names
# every such file. Run with --fix to reformat the C++ files in place.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
failed=0
if clang-format --dry-run --Werror "${files[@]}"; then
    echo "format: ${#files[@]} files checked, all in style"
else
    echo "format: files differ from .clang-format (run: bash scripts/check-format.sh --fix)"
    failed=1
fi

# Every source file names its licence and its copyright holder in its first
# lines (after a "#!" line), as SPDX lines in the file's comment form.
mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*CMakeLists.txt' '*.cmake' '*.sh' '*.py' '.ci/*')
lacking=()
for f in "${sources[@]}"; do
    [ -f "$f" ] || continue
    head -n 4 "$f" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later$' &&
        head -n 4 "$f" | grep -q 'SPDX-FileCopyrightText: [0-9]\{4\}.* The Vardel developers$' ||
        lacking+=("$f")
done
if [ "${#lacking[@]}" -eq 0 ]; then
    echo "licence: ${#sources[@]} source files checked, all carry their SPDX lines"
else
    printf 'licence: no SPDX lines in %s\n' "${lacking[@]}"
    echo "licence: ${#lacking[@]} of ${#sources[@]} source files lack the lines:"
    echo "  SPDX-License-Identifier: GPL-3.0-or-later"
    echo "  SPDX-FileCopyrightText: $(date +%Y) The Vardel developers"
    failed=1
fi
exit "$failed"
