#!/usr/bin/env bash
# Builds Korvane Quillbox and shows the bundled sample mailbox with the CLI.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${QUILLBOX_JOBS:-2}"

build/bin/quillbox-cli list build/bin/Sample.dbx
