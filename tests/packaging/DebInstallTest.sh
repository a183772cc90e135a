#!/usr/bin/env bash
# DebInstallTest.sh BUILD_DIR VERSION: makes the .deb of BUILD_DIR with CPack,
# unpacks it with dpkg -x into a scratch root and checks what a user would
# get: the files in their places, the dependencies named, valid menu entries,
# a file type shared-mime-info accepts, and programs that start from there.
set -uo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; exit 1; }
deb=$(ls "$scratch"/out/rhythm-kit_*.deb)
root=$scratch/root
dpkg -x "$deb" "$root" || exit 1
usr=$root/usr

for file in bin/kadenzo bin/Vistemp bin/kadenzo-render bin/vistemp-trace \
  share/applications/kadenzo.desktop share/applications/vistemp.desktop \
  share/icons/hicolor/scalable/apps/kadenzo.svg share/icons/hicolor/scalable/apps/vistemp.svg \
  share/mime/packages/rhythm-envelope.xml \
  share/man/man1/kadenzo-render.1 share/man/man1/vistemp-trace.1; do
  [ -s "$usr/$file" ] || fail "missing /usr/$file"
done

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6gui6 libqt6multimedia6 libsndfile1 libgraphicsmagick++-q16-12 libstdc++6 \
  qt6-qpa-plugins qt6-image-formats-plugins; do
  grep -Eq "(^|, )$(printf '%s' "$package" | sed 's/+/\\+/g')( |,|$)" <<<"$depends" ||
    fail "Depends lacks $package: $depends"
done

desktop-file-validate "$usr"/share/applications/*.desktop || fail "desktop-file-validate"
grep -q '^MimeType=.*application/x-rhythm-envelope;' "$usr/share/applications/kadenzo.desktop" ||
  fail "kadenzo.desktop does not open envelopes"

# shared-mime-info compiles the type; its compiled entry keeps the name and the magic.
mkdir -p "$scratch/mime/packages"
cp "$usr/share/mime/packages/rhythm-envelope.xml" "$scratch/mime/packages/"
update-mime-database "$scratch/mime" 2>/dev/null || fail "update-mime-database"
grep -q 'Rhythm envelope' "$scratch/mime/application/x-rhythm-envelope.xml" 2>/dev/null ||
  fail "no compiled application/x-rhythm-envelope"
grep -q 'BLOW' "$scratch/mime/magic" || fail "the magic BLOW is not compiled"
grep -q '\*\.env$' "$scratch/mime/globs" || fail "the glob *.env is not compiled"
# A file manager's view (GIO): an envelope by its name, and by its magic alone.
{ printf 'BLOW'; head -c 60 /dev/zero; } >"$scratch/curve.env"
cp "$scratch/curve.env" "$scratch/curve.bin"
for file in curve.env curve.bin; do
  type=$(XDG_DATA_HOME=$scratch XDG_DATA_DIRS=$scratch gio info -a standard::content-type "$scratch/$file" 2>&1)
  grep -q 'content-type: application/x-rhythm-envelope$' <<<"$type" || fail "$file is seen as: $type"
done

for program in kadenzo-render vistemp-trace; do
  grep -q "^\.TH \"\?${program^^}" "$usr/share/man/man1/$program.1" || fail "$program.1 is no manual page"
  grep -q -- '\\-\\-version' "$usr/share/man/man1/$program.1" || fail "$program.1 lacks the options"
done

# Exit code and the first line of standard output of a program of the root.
expect() {
  local code=$1 line=$2
  shift 2
  local output status
  output=$("$@" 2>"$scratch/stderr")
  status=$?
  [ "$status" -eq "$code" ] || fail "$* exited $status, not $code: $(cat "$scratch/stderr")"
  [ -z "$line" ] || [ "$(head -n1 <<<"$output")" = "$line" ] || fail "$* printed '$(head -n1 <<<"$output")', not '$line'"
}
for program in kadenzo-render vistemp-trace kadenzo Vistemp; do
  expect 0 "$program $version" "$usr/bin/$program" --version
  expect 0 "" "$usr/bin/$program" --help
  expect 2 "" "$usr/bin/$program" --no-such-option
done
expect 2 "" "$usr/bin/kadenzo" one.wav two.wav

# Each window program runs until it is stopped.
for program in kadenzo Vistemp; do
  timeout 3 "$usr/bin/$program" >/dev/null 2>"$scratch/stderr"
  status=$?
  [ "$status" -eq 124 ] || fail "$program ended by itself ($status): $(cat "$scratch/stderr")"
done

[ "$failures" -eq 0 ] && echo "the package installs and runs"
exit $((failures > 0))
