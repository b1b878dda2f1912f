#!/usr/bin/env bash
# Fails, naming them, when clang-format would change any C++ file of the tree.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
mapfile -t files < <(find src tests tools bench -type f \( -name '*.cpp' -o -name '*.h' \) \
    -not -path '*/build*' | sort)
unformatted=()
for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        unformatted+=("$f")
    fi
done
if [ "${#unformatted[@]}" -gt 0 ]; then
    echo "clang-format would change these files (run clang-format -i on them):"
    printf '  %s\n' "${unformatted[@]}"
    exit 1
fi
echo "${#files[@]} files formatted"
