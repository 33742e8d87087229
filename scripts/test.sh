#!/usr/bin/env bash
# Builds the reader and runs every test: scripts/test.sh [preset], preset
# "dev" (default) or "asan" (AddressSanitizer and UndefinedBehaviorSanitizer).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
