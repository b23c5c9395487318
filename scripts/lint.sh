#!/usr/bin/env bash
# scripts/lint.sh [BUILD]: the checks every change passes besides the tests. The C++ sources are
# formatted as .clang-format says (clang-format, nothing rewritten: the differing files are named),
# and the program's sources pass the checks of .clang-tidy, read with the compile commands of the
# build folder BUILD (default build/, which scripts/test.sh configures).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/setup.sh none clang-format clang-tidy

status=0
echo "== format (clang-format) =="
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
mapfile -t unformatted < <(clang-format --dry-run "${sources[@]}" 2>&1 |
    sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
if [ ${#unformatted[@]} -gt 0 ]; then
    echo "Not formatted as .clang-format says (run clang-format -i on them):"
    printf '  %s\n' "${unformatted[@]}"
    status=1
else
    echo "All ${#sources[@]} files are formatted."
fi

echo "== checks (clang-tidy) =="
if [ ! -f "$build/compile_commands.json" ]; then
    echo "$build/compile_commands.json is missing: configure the build first (scripts/test.sh)" >&2
    exit 1
fi
# The program's own sources; the tests, benchmarks and fuzz targets are held to the compiler's
# warnings only. The core is built with -Wconversion, which in clang (not in GCC) includes the
# signedness conversions; the compiler's warnings are the build's business, so that one is left out.
root=$(pwd)
if ! run-clang-tidy -quiet -p "$build" -j "$(nproc)" -extra-arg=-Wno-sign-conversion \
    "^$root/(base|optlist|cfgtree|link|app|sim|cli)/([^/]+/)?[^/]+\.cpp\$" >"$build/clang-tidy.log" 2>&1; then
    grep -E '(warning|error):' "$build/clang-tidy.log" | sort -u || true
    echo "clang-tidy found the above (whole output: $build/clang-tidy.log)"
    status=1
else
    echo "No findings."
fi
exit $status
