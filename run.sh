#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo project and opens VEXANA on it.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXANA_TESTS=OFF -DVEXANA_BENCH=OFF >/dev/null
cmake --build build-run

demo="${XDG_DATA_HOME:-$HOME/.local/share}/vexana/demo.vxp"
if [ ! -f "$demo" ]; then
  ./build-run/apps/vexana-cli/vexana-cli demo "$demo"
fi
./build-run/apps/vexana-cli/vexana-cli info "$demo"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build-run/apps/vexana/vexana "$demo"
fi
echo "No display: to see the window, run"
echo "  QT_QPA_PLATFORM=offscreen ./build-run/apps/vexana/vexana --screenshot shot.png \"$demo\""
