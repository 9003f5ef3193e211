#!/usr/bin/env bash
# Installs the build into a temporary prefix (DESTDIR), moves the installed tree to another folder
# and uses it from there as a user and a host developer would: the tools run without a display
# and print only their own lines, the demonstration edits and saves a movie, both host examples
# build against the tree (pkg-config for C, find_package for Qt) and call the library, the desktop
# entry and the AppStream file validate, and the manual pages render.
#   install_test.sh BUILD_DIR SOURCE_DIR [GENERATOR]
# The Qt host is configured with GENERATOR, the one the build itself uses (CMake's default without it).
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
generator=(${3:+-G "$3"})
work=$(mktemp -d "${TMPDIR:-/tmp}/brevio-install.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# Runs a command with no display and no runtime folder; its exit code, stdout and stderr land in
# $code, $work/out and $work/err.
run() {
  set +e
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR -u BREVIO_DEBUG \
    TMPDIR="$work" "$@" >"$work/out" 2>"$work/err"
  code=$?
  set -e
}
expect() {  # expect CODE DESCRIPTION
  [ "$code" -eq "$1" ] ||
    fail "$2: exit $code, not $1; stdout: $(cat "$work/out") stderr: $(cat "$work/err")"
}
quiet() {  # nothing on stderr
  [ ! -s "$work/err" ] || fail "$1 wrote to stderr: $(cat "$work/err")"
}

DESTDIR="$work/dest" cmake --install "$build" --prefix /usr >/dev/null
mv "$work/dest/usr" "$work/tree"
rm -rf "$work/dest"
tree="$work/tree"
pcdir=$(dirname "$(find "$tree" -name brevioedit.pc)")
libdir=$(dirname "$pcdir")

# A sanitizer build's library needs the sanitizer runtime, which the examples do not link first.
# (ldd's list is read whole first: grep -q would stop early, and under pipefail ldd's broken pipe
# would count as no match.)
if [[ "$(ldd "$libdir/libbrevioedit.so.2")" == *libasan* ]]; then
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}:verify_asan_link_order=0"
fi

# The tools from the moved tree.
run "$tree/bin/brevio" --version
expect 0 "brevio --version"
grep -qx "brevio [0-9.]*" "$work/out" || fail "brevio --version printed: $(cat "$work/out")"
run "$tree/bin/brevio" info --bogus x.mov
expect 2 "brevio info --bogus"
grep -q "usage: brevio info" "$work/err" || fail "no usage after an unknown option"
run "$tree/bin/brevioedit" --help
expect 0 "brevioedit --help without a display"
grep -q -- "--demo" "$work/out" || fail "brevioedit --help printed: $(cat "$work/out")"
quiet "brevioedit --help"
run "$tree/bin/brevioedit" --bogus
expect 2 "brevioedit --bogus"
grep -q "^usage: brevioedit" "$work/err" || fail "no usage after an unknown option"
run "$tree/bin/brevioedit" "$work/day.mov"
expect 7 "brevioedit MOVIE without a display"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "not one line without a display: $(cat "$work/err")"

# A file that is not a movie: the result, and one line saying why (a message box on a display).
printf 'not a movie\n' >"$work/junk.mov"
run env QT_QPA_PLATFORM=offscreen "$tree/bin/brevioedit" "$work/junk.mov"
expect 5 "brevioedit on a file that is not a movie"
[ "$(wc -l <"$work/err")" -eq 1 ] && grep -q "junk.mov" "$work/err" ||
  fail "brevioedit did not say why the file did not open: $(cat "$work/err")"

run env QT_QPA_PLATFORM=offscreen "$tree/bin/brevioedit" --demo "$work/demo"
expect 0 "brevioedit --demo"
quiet "brevioedit --demo"
grep -qx "result: 0" "$work/out" || fail "the demonstration did not save: $(cat "$work/out")"
[ -s "$work/demo/sample.mov" ] || fail "no sample movie in $(ls "$work/demo")"

# brevio's FFmpeg commands come from its module under the moved tree, quietly.
run "$tree/bin/brevio" thumb "$work/demo/sample.mov" --at 5 -o "$work/thumb.png"
expect 0 "brevio thumb"
quiet "brevio thumb"
[ -s "$work/thumb.png" ] || fail "no thumbnail"

# The host examples, built against the moved tree; a missing movie comes back as result 5.
cp -r "$source/examples/host-c" "$work/host-c"
PKG_CONFIG_PATH="$pcdir" make -s -C "$work/host-c" CFLAGS="-O1 -Werror" >/dev/null ||
  fail "the C host did not build"
run env QT_QPA_PLATFORM=offscreen "$work/host-c/brevio-host-c" "$work/missing.mov"
expect 5 "the C host on a missing movie"
grep -qx "result: 5" "$work/out" || fail "the C host printed: $(cat "$work/out")"

cmake -S "$source/examples/host-qt" -B "$work/host-qt" "${generator[@]}" -DCMAKE_PREFIX_PATH="$tree" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >"$work/cmake.log" 2>&1 ||
  fail "the Qt host did not configure: $(cat "$work/cmake.log")"
cmake --build "$work/host-qt" >"$work/cmake.log" 2>&1 ||
  fail "the Qt host did not build: $(cat "$work/cmake.log")"
run env QT_QPA_PLATFORM=offscreen "$work/host-qt/brevio-host-qt" "$work/missing.mov"
expect 5 "the Qt host on a missing movie"
grep -qx "result: 5" "$work/out" || fail "the Qt host printed: $(cat "$work/out")"

# Desktop integration and the manual.
desktop-file-validate "$tree/share/applications/brevioedit.desktop"
appstreamcli validate --no-net --pedantic "$tree/share/metainfo/brevioedit.metainfo.xml" \
  >"$work/as.log" ||
  fail "$(cat "$work/as.log")"
for size in 48x48 128x128 256x256 scalable; do
  ls "$tree/share/icons/hicolor/$size/apps/brevioedit."* >/dev/null || fail "no $size icon"
done
for page in brevio brevioedit; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$tree/share/man/man1/$page.1.gz" \
    >"$work/man.txt" 2>"$work/man.err" || fail "man $page: $(cat "$work/man.err")"
  [ ! -s "$work/man.err" ] || fail "man $page: $(cat "$work/man.err")"
  grep -q "EXIT STATUS" "$work/man.txt" || fail "man $page lacks EXIT STATUS"
done
echo "install test: all checks passed in $tree"
