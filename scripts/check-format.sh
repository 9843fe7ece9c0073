#!/usr/bin/env bash
# Fails when a C++ source of the project is not laid out as .clang-format says; the fix is
# `cmake --build <build> --target format`.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.cpp' '*.h' 2>/dev/null ||
                       find . -path './build*' -prune -o -path '*/node_modules' -prune -o \
                            \( -name '*.cpp' -o -name '*.h' \) -print)
clang-format --dry-run -Werror "${sources[@]}"
echo "format: ${#sources[@]} sources laid out as .clang-format says"
