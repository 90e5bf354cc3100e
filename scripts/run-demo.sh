#!/usr/bin/env bash
# Builds Quillmoor, starts the bundled demo site on 127.0.0.1 and starts
# Quillmoor pointed at it. Stopping Quillmoor stops the site too.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
port="${QUILLMOOR_DEMO_PORT:-8080}"
./build/site/quillmoor-demo-site --port "$port" >/dev/null &
site=$!
trap 'kill $site 2>/dev/null || true' EXIT
sleep 0.5
./build/src/quillmoor --site "http://127.0.0.1:$port" "$@"
