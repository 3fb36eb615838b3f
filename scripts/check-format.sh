#!/usr/bin/env bash
# Fails when any C++ file of the project differs from .clang-format's style.
# Run with --fix to reformat them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
if clang-format --dry-run --Werror "${files[@]}"; then
    echo "format: ${#files[@]} files checked, all in style"
else
    echo "format: files differ from .clang-format (run: bash scripts/check-format.sh --fix)"
    exit 1
fi
