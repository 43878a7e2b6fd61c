#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo project and opens VEXANA on it.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXANA_TESTS=OFF -DVEXANA_BENCH=OFF >/dev/null
cmake --build build-run

data="${XDG_DATA_HOME:-$HOME/.local/share}/vexana"
demo="$data/demo.vxp"
mkdir -p "$data"
if [ ! -f "$demo" ]; then
  cli=./build-run/apps/vexana-cli/vexana-cli
  "$cli" new "$demo"
  "$cli" preprocess "$demo" Interviews data/demo/interviews.txt
  "$cli" preprocess "$demo" "Field notes" data/demo/fieldnotes.txt
  "$cli" set "$demo" "Working parents" 'Interviews\Bernd' 'Interviews\Carla' >/dev/null
fi
./build-run/apps/vexana-cli/vexana-cli info "$demo"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build-run/apps/vexana/vexana "$demo"
fi
echo "No display: to see the window, run"
echo "  QT_QPA_PLATFORM=offscreen ./build-run/apps/vexana/vexana --screenshot shot.png \"$demo\""
