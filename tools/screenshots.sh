#!/usr/bin/env bash
# Starts the real window under Xvfb with the example project and writes screenshots:
# docs/window-idle.png, docs/preview-idle.png, docs/preview-playing.png and
# docs/preview-fullscreen.png (the preview window), docs/window-running.png (a run with its
# live preview) and docs/dialog-*.png of the dialogs the window opens; the same in French (-040C) and German
# (-0407).
# Usage: tools/screenshots.sh BUILD_DIR [FOLDER]
set -euo pipefail
build=${1:?build dir}
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$(realpath -m "${2:-$root/docs}")
mkdir -p "$folder"
# A settings store of its own: the user's remembered language and folders stay as they are.
LUMIVANE_SETTINGS_DIR=$(mktemp -d)
export LUMIVANE_SETTINGS_DIR
export XDG_CACHE_HOME="$LUMIVANE_SETTINGS_DIR/cache"
trap 'rm -rf "$LUMIVANE_SETTINGS_DIR"' EXIT
# English, then French and German.
for language in 0409 040C 0407; do
    xvfb-run -a -s "-screen 0 1280x800x24" \
        "$build/app/gui/lumivane-screenshots" "$root/examples/example.lmv" "$folder" \
        $language
done
