#!/usr/bin/env bash
# `cmake --install` into a throw-away DESTDIR gives a tree that works where it lands: the
# programs in bin/, the run-time components in lib/oxanetmusic/ (found from bin/, whatever the
# current folder), the desktop entry and the icons. The installed oxa-lib reads a WMA's tags on
# a fresh machine; with the component folder moved away it cannot, so the runtime it used was the
# installed one. Usage: install-test.sh CMAKE BINARY_DIR MAKE_TEST_MEDIA
set -uo pipefail
cmake=$1
binary_dir=$2
make_test_media=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

if ! DESTDIR=$work/root "$cmake" --install "$binary_dir" --prefix /usr/local >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAILED: cmake --install"
  exit 1
fi
prefix=$work/root/usr/local

for program in bin/oxanetmusic bin/oxa-lib bin/oxa-host; do
  [[ -x $prefix/$program ]] || fail "$program is not installed as a program"
done
for file in lib/oxanetmusic/libwmvcore.so lib/oxanetmusic/liboxaaud.so share/applications/oxanetmusic.desktop \
  share/icons/hicolor/48x48/apps/oxanetmusic.png share/icons/hicolor/256x256/apps/oxanetmusic.png \
  share/icons/hicolor/scalable/apps/oxanetmusic.svg; do
  [[ -f $prefix/$file ]] || fail "$file is not installed"
done
desktop=$prefix/share/applications/oxanetmusic.desktop
grep -qx 'Exec=oxanetmusic' "$desktop" || fail "the desktop entry does not start oxanetmusic"
grep -qx 'Icon=oxanetmusic' "$desktop" || fail "the desktop entry does not name the icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
fi
png_magic=$(head -c 8 "$prefix/share/icons/hicolor/256x256/apps/oxanetmusic.png" | od -An -tx1 | tr -d ' \n')
[[ $png_magic == 89504e470d0a1a0a ]] || fail "the 256 pixel icon is not a PNG"

# A fresh machine with no components of its own; started from the root folder.
"$make_test_media" samples "$work/music" >/dev/null || fail "make-test-media"
tags() {
  (cd / && env -u DISPLAY OXA_MACHINE="$work/machine" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_DATA_HOME="$work/home/.local/share" "$prefix/bin/oxa-lib" tags "$work/music/tagged.wma" 2>&1)
}
output=$(tags)
grep -qx '  title: Song' <<<"$output" || fail "the installed oxa-lib does not read the WMA's title: $output"
grep -qx '  year: 1998' <<<"$output" || fail "the installed oxa-lib does not read the WMA's year: $output"
mv "$prefix/lib/oxanetmusic" "$prefix/lib/moved"
output=$(tags)
grep -qx '  title: Song' <<<"$output" && fail "the WMA's title was read without the installed runtime"
mv "$prefix/lib/moved" "$prefix/lib/oxanetmusic"

# Without a display the installed program says so and stops.
output=$(cd / && env -u DISPLAY -u OXA_DISPLAY OXA_MACHINE="$work/machine" HOME="$work/home" \
  timeout 60 "$prefix/bin/oxanetmusic" 2>&1)
status=$?
[[ $status -eq 1 ]] || fail "the installed program without a display ended with $status, not 1"
grep -q '^oxanetmusic: no display (DISPLAY is not set)' <<<"$output" ||
  fail "the installed program without a display said: $output"

[[ $failures -eq 0 ]] || exit 1
echo "the installed tree works"
