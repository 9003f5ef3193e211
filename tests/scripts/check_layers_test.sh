#!/usr/bin/env bash
# scripts/check-layers passes the real tree and fails each planted fault in a small tree of its own.
#   check_layers_test.sh SOURCE_DIR
set -euo pipefail
source=$(cd "$1" && pwd)
check="$source/scripts/check-layers"
work=$(mktemp -d "${TMPDIR:-/tmp}/check-layers.XXXXXX")
trap 'rm -rf "$work"' EXIT

bash "$check" "$source" || { echo "FAILED: the real tree does not pass" >&2; exit 1; }

# A tree that passes: an engine header, a media file using it, a window using platform.
plant_tree() {
  rm -rf "$work/tree"
  mkdir -p "$work/tree"/src/{components/{engine,media,player},platform,window,dialog}
  cd "$work/tree"
  echo '#include <vector>' >src/components/engine/Atom.h
  printf '#include "engine/Atom.h"\n#include <libavcodec/avcodec.h>\n' >src/components/media/Decoder.h
  printf '#include "media/Decoder.h"\n#include <QWidget>\n' >src/components/player/Player.h
  echo '#include "platform/Thread.h"' >src/window/Window.h
  echo '#include <QObject>' >src/platform/Thread.h
  echo '#include "window/Window.h"' >src/dialog/Dialog.h
}
plant_tree
bash "$check" "$work/tree" || { echo "FAILED: the clean small tree does not pass" >&2; exit 1; }

failed=0
expect_fault() {  # FILE LINE WHAT
  plant_tree
  echo "$2" >>"$1"
  if bash "$check" "$work/tree" 2>/dev/null; then
    echo "FAILED: not caught: $3 ($1: $2)" >&2
    failed=1
  fi
}
expect_fault src/components/engine/Atom.h '#include <QString>' "Qt in the engine (angle)"
expect_fault src/components/engine/Atom.h '#include "QtCore/QString"' "Qt in the engine (quoted)"
expect_fault src/components/engine/Atom.h '#include <libavcodec/avcodec.h>' "FFmpeg in the engine"
expect_fault src/components/engine/Atom.h '#include "media/Decoder.h"' "the engine including media"
expect_fault src/components/engine/Atom.h '#include "platform/Thread.h"' "the engine including platform"
expect_fault src/components/media/Decoder.h '#include "player/Player.h"' "media including player"
expect_fault src/window/Window.h '#include "dialog/Dialog.h"' "a layer including a later one (quoted)"
expect_fault src/window/Window.h '#include <dialog/Dialog.h>' "a layer including a later one (angle)"
expect_fault src/dialog/Dialog.h '#include "components/player/Player.h"' "a second name for a header"
exit $failed
