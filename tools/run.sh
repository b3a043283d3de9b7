#!/usr/bin/env bash
# Installs what is missing, builds the monitor, lays out a working directory in
# ./work (existing files are kept) and starts the monitor there. Without a
# display the monitor runs on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target mouldmonitor mkworkdir workdir_template
build/tools/mkworkdir/mkworkdir layout build/workdir-template work
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
fi
cd work
exec ../build/app/mouldmonitor
