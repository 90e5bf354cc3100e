#!/usr/bin/env bash
# Builds Quillmoor and runs the whole test suite (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 "$@"
