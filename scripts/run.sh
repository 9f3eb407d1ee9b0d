#!/usr/bin/env bash
# Builds Korvane Quillbox and starts the desktop application. Without a display it says so
# and shows the bundled sample mailbox with the CLI instead.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${QUILLBOX_JOBS:-2}"

sample="$root/build/bin/Sample.dbx"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are empty): showing the sample mailbox with the CLI." >&2
  exec build/bin/quillbox-cli list build/bin/Sample.dbx
fi

echo "Starting Korvane Quillbox. Open the sample mailbox with File > Open: $sample" >&2
exec build/bin/quillbox
