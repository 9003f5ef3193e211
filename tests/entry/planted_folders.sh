#!/usr/bin/env bash
# Another user plants the victim's fixed temporary folder (<temp>/BrevioEdit-<uid>) and the tools'
# runtime fallback (<temp>/runtime-<uid>) as a folder open to everyone and as a link: the victim's
# `brevioedit --demo` still cuts and saves (result 0), and nothing is written into the planted
# entries. A runtime folder of the victim's that is open to others gets nothing of ours either.
#   planted_folders.sh BREVIOEDIT
set -euo pipefail
if [ "$(id -u)" != 0 ]; then
  echo "needs the superuser to act as two other users: skipped"
  exit 0
fi
bin=$1
victim=65534
other=65533
work=$(mktemp -d "${TMPDIR:-/tmp}/brevio-planted.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
tmp=$work/tmp
mkdir -m 1777 "$tmp"
mkdir -m 700 "$work/home" "$work/open"
chown "$victim" "$work/home" "$work/open"
chmod 777 "$work/open"

as() {
  local uid=$1
  shift
  setpriv --reuid="$uid" --regid="$uid" --clear-groups "$@"
}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

as "$other" mkdir -m 777 "$tmp/BrevioEdit-$victim" "$tmp/elsewhere"
as "$other" chmod 777 "$tmp/BrevioEdit-$victim" "$tmp/elsewhere"
as "$other" ln -s "$tmp/elsewhere" "$tmp/runtime-$victim"

for runtime in unset open; do
  demo=$work/home/demo-$runtime
  set +e
  if [ "$runtime" = open ]; then
    as "$victim" env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/open" TMPDIR="$tmp" \
      HOME="$work/home" QT_QPA_PLATFORM=offscreen timeout 600 "$bin" --demo "$demo" \
      >"$work/out" 2>"$work/err"
  else
    as "$victim" env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR TMPDIR="$tmp" \
      HOME="$work/home" QT_QPA_PLATFORM=offscreen timeout 600 "$bin" --demo "$demo" \
      >"$work/out" 2>"$work/err"
  fi
  code=$?
  set -e
  [ "$code" = 0 ] || fail "brevioedit --demo ($runtime runtime folder) exited $code: $(cat "$work/err")"
  grep -qx "result: 0" "$work/out" || fail "the demonstration did not save: $(cat "$work/out")"
  [ -s "$demo/edited.mov" ] || fail "no saved movie in $demo"
  for planted in "$tmp/BrevioEdit-$victim" "$tmp/elsewhere" "$work/open"; do
    [ -z "$(ls -A "$planted")" ] || fail "written into $planted: $(ls -A "$planted")"
  done
done
echo "passed"
