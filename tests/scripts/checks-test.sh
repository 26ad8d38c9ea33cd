#!/usr/bin/env bash
# The tree checks themselves: each passes a sound tree and fails a planted violation, naming the
# file (and line). Usage: checks-test.sh SOURCE_ROOT
set -uo pipefail
source_root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect NAME STATUS PATTERN COMMAND...: the command ends with STATUS and its error output
# contains PATTERN (an empty pattern: no output at all).
expect() {
  local name=$1 status=$2 pattern=$3
  shift 3
  local output got
  output=$("$@" 2>&1 >/dev/null)
  got=$?
  if [[ $got -ne $status ]] || { [[ -n $pattern ]] && ! grep -qF -- "$pattern" <<<"$output"; } ||
     { [[ -z $pattern ]] && [[ -n $output ]]; }; then
    echo "FAILED: $name (status $got, expected $status)"
    echo "$output"
    failures=$((failures + 1))
  fi
}

# A small tree with one file per case, checked again after each change.
tree=$work/layers
mkdir -p "$tree"/{platform/files,platform/windows,rtl,tags,scan,library}
printf '#include <unistd.h>\n' >"$tree/platform/files/Files.cpp"
printf '#include "platform/files/Files.h"\n#include <X11/keysym.h>\n' >"$tree/platform/windows/Input.cpp"
printf '#include "platform/files/Files.h"\n#include <unicode/ucol.h>\n' >"$tree/rtl/Text.cpp"
printf '#include "rtl/Text.h"\n' >"$tree/tags/Tag.cpp"
printf '#include "tags/Tag.h"\n#include "scan/Walk.h"\n' >"$tree/scan/Walk.cpp"
printf 'oxa_add_library(oxa_scan SOURCES Walk.cpp DEPS oxa_tags oxa_framework)\n' >"$tree/scan/CMakeLists.txt"
expect "a sound tree passes" 0 "" python3 "$source_root/scripts/check-layering.py" "$tree"

printf '#include "rtl/Text.h"\n#include "library/Music.h"\n' >"$tree/tags/Tag.cpp"
expect "an include from above fails with its line" 1 'tags/Tag.cpp:2: tags must not include library/' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf '#include "scan/Walk.h"\n' >"$tree/tags/Tag.cpp"
expect "an include from a sibling above fails" 1 'tags/Tag.cpp:1: tags must not include scan/' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf '#include "rtl/Text.h"\n' >"$tree/tags/Tag.cpp"

printf 'oxa_add_library(oxa_scan SOURCES Walk.cpp\n  DEPS oxa_tags oxa_library)\n' >"$tree/scan/CMakeLists.txt"
expect "a link to a library above fails with its line" 1 'scan/CMakeLists.txt:2: scan must not link oxa_library' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf 'oxa_add_library(oxa_scan SOURCES Walk.cpp DEPS oxa_tags)\n' >"$tree/scan/CMakeLists.txt"

printf '#include <sys/stat.h>\n' >"$tree/library/Files.cpp"
expect "a host header outside the platform fails" 1 'library/Files.cpp:1: only platform/core, platform/display' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
rm "$tree/library/Files.cpp"
# The headless platform: the X libraries and the display's headers are the display's alone.
printf '#include <X11/Xlib.h>\n' >"$tree/platform/windows/Input.cpp"
expect "an X library header below the display fails" 1 \
  'platform/windows/Input.cpp:1: only platform/display may include <X11/Xlib.h>' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf '#include "platform/display/GdiText.h"\n' >"$tree/platform/windows/Input.cpp"
expect "the windows that include the display above them fail" 1 \
  'platform/windows/Input.cpp:1: platform/windows must not include platform/display/' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf '#include <X11/keysym.h>\n' >"$tree/platform/windows/Input.cpp"
expect "the mended tree passes again" 0 "" python3 "$source_root/scripts/check-layering.py" "$tree"

# The folders outside the layers and the detail headers.
mkdir -p "$tree"/{tests/tags,tests/support,tools/oxa-lib,components/oxaaud,platform/display/detail}
printf '#include "tags/Tag.h"
#include "rtl/Text.h"
#include "tests/support/TempFolder.h"
' \
  >"$tree/tests/tags/TagTest.cpp"
printf '#include "library/Music.h"
#include "tools/oxa-lib/Scan.h"
' >"$tree/tools/oxa-lib/Scan.cpp"
printf '#include "platform/files/Files.h"
' >"$tree/components/oxaaud/Decoder.cpp"
printf '#include "platform/display/detail/X11.h"
' >"$tree/platform/display/Display.cpp"
expect "tests, tools and components within their rules pass" 0 "" \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf '#include "tags/Tag.h"
#include "library/Music.h"
' >"$tree/tests/tags/TagTest.cpp"
expect "a test that includes above its folder fails" 1 'tests/tags/TagTest.cpp:2: tests/tags must not include library/' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf '#include "tags/Tag.h"
' >"$tree/tests/tags/TagTest.cpp"
printf '#include "tests/support/TempFolder.h"
' >"$tree/tools/oxa-lib/Scan.cpp"
expect "a tool that includes a test fails" 1 'tools/oxa-lib/Scan.cpp:1: tools/oxa-lib must not include tests/support/' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf '#include "library/Music.h"
' >"$tree/tools/oxa-lib/Scan.cpp"
printf '#include "rtl/Text.h"
' >"$tree/components/oxaaud/Decoder.cpp"
expect "a component that includes above the platform fails" 1 \
  'components/oxaaud/Decoder.cpp:1: components/oxaaud must not include rtl/' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf '#include "platform/files/Files.h"
' >"$tree/components/oxaaud/Decoder.cpp"
printf '#include "rtl/Text.h"
#include "platform/display/detail/X11.h"
' >"$tree/rtl/Text.cpp"
expect "a detail header included from outside its folder fails" 1 \
  'rtl/Text.cpp:2: only platform/display/ may include its detail header' \
  python3 "$source_root/scripts/check-layering.py" "$tree"
printf '#include "platform/files/Files.h"
' >"$tree/rtl/Text.cpp"
expect "the mended tree passes once more" 0 "" python3 "$source_root/scripts/check-layering.py" "$tree"

# Layers that are subfolders: the program's libraries under Music/, each checked as its own layer
# (its walk not repeated by Music's), each library known by the folder whose CMakeLists.txt adds it.
layering=$source_root/scripts/check-layering.py
mkdir -p "$tree"/{Music/control/detail,Music/form,views,tests/Music,tests/views}
printf '#include "library/Music.h"\n#include "Music/control/detail/Parse.h"\n' >"$tree/Music/control/Rules.cpp"
printf 'oxa_add_library(oxa_musiccontrol SOURCES Rules.cpp DEPS oxa_library)\n' >"$tree/Music/control/CMakeLists.txt"
printf '#include "Music/control/Rules.h"\n' >"$tree/Music/form/Music.cpp"
printf 'oxa_add_library(oxa_music SOURCES Music.cpp\n  DEPS oxa_musiccontrol oxa_musiclistview)\n' \
  >"$tree/Music/form/CMakeLists.txt"
printf '#include "Music/form/Music.h"\n' >"$tree/Music/OxaNetMusic.cpp"
printf 'add_subdirectory(control)\nadd_subdirectory(form)\ntarget_link_libraries(oxanetmusic PRIVATE oxa_music)\n' \
  >"$tree/Music/CMakeLists.txt"
printf 'oxa_add_library(oxa_views SOURCES Views.cpp)\noxa_add_library(oxa_musiclistview SOURCES List.cpp)\n' \
  >"$tree/views/CMakeLists.txt"
printf '#include "Music/control/Rules.h"\n#include "Music/form/Music.h"\n' >"$tree/tests/Music/RulesTest.cpp"
printf '#include "views/List.h"\n' >"$tree/tests/views/ListTest.cpp"
expect "sub-folder layers within their rules pass" 0 "" python3 "$layering" "$tree"

printf '#include "library/Music.h"\n#include "Music/form/Music.h"\n' >"$tree/Music/control/Rules.cpp"
expect "a sub-folder layer that includes one above it fails with its line" 1 \
  'Music/control/Rules.cpp:2: Music/control must not include Music/form/' \
  python3 "$layering" "$tree"
printf '#include "library/Music.h"\n#include "Music/Main.h"\n' >"$tree/Music/control/Rules.cpp"
expect "a sub-folder layer that includes its parent's own header fails" 1 \
  'Music/control/Rules.cpp:2: Music/control must not include Music/' \
  python3 "$layering" "$tree"
printf '#include "library/Music.h"\n#include <sys/stat.h>\n' >"$tree/Music/control/Rules.cpp"
expect "a sub-folder layer's file is checked once, as its own layer" 1 \
  'Music/control/Rules.cpp:2: only platform/core, platform/display, platform/files, platform/objects, platform/windows may include <sys/stat.h>' \
  python3 "$layering" "$tree"
reports=$(python3 "$layering" "$tree" 2>&1 | grep -c 'Music/control/Rules.cpp:2:')
if [[ $reports -ne 1 ]]; then
  echo "FAILED: a sub-folder layer's file is reported $reports times, not once"
  failures=$((failures + 1))
fi
printf '#include "library/Music.h"\n' >"$tree/Music/control/Rules.cpp"

printf '#include "Music/control/Rules.h"\n#include "Music/control/detail/Parse.h"\n' >"$tree/Music/form/Music.cpp"
expect "a layer above that includes a sub-folder layer's detail header fails" 1 \
  'Music/form/Music.cpp:2: only Music/control/ may include its detail header' \
  python3 "$layering" "$tree"
printf '#include "Music/control/Rules.h"\n' >"$tree/Music/form/Music.cpp"
printf '#include "Music/control/Rules.h"\n#include "Music/control/detail/Parse.h"\n' >"$tree/tests/Music/RulesTest.cpp"
expect "a test that includes a detail header fails" 1 \
  'tests/Music/RulesTest.cpp:2: only Music/control/ may include its detail header' \
  python3 "$layering" "$tree"
printf '#include "Music/control/Rules.h"\n' >"$tree/tests/Music/RulesTest.cpp"
printf '#include "views/List.h"\n#include "Music/control/Rules.h"\n' >"$tree/tests/views/ListTest.cpp"
expect "a test that includes a sub-folder layer above its folder fails" 1 \
  'tests/views/ListTest.cpp:2: tests/views must not include Music/control/' \
  python3 "$layering" "$tree"
printf '#include "views/List.h"\n' >"$tree/tests/views/ListTest.cpp"

printf 'oxa_add_library(oxa_musiccontrol SOURCES Rules.cpp\n  DEPS oxa_library oxa_music)\n' \
  >"$tree/Music/control/CMakeLists.txt"
expect "a link to the library of a sub-folder layer above fails" 1 \
  'Music/control/CMakeLists.txt:2: Music/control must not link oxa_music' \
  python3 "$layering" "$tree"
printf 'oxa_add_library(oxa_musiccontrol SOURCES Rules.cpp\n  DEPS oxa_library oxa_musiclistview)\n' \
  >"$tree/Music/control/CMakeLists.txt"
expect "a link to a library of a folder that adds several fails" 1 \
  'Music/control/CMakeLists.txt:2: Music/control must not link oxa_musiclistview' \
  python3 "$layering" "$tree"
printf 'oxa_add_library(oxa_musiccontrol SOURCES Rules.cpp DEPS oxa_library)\n' >"$tree/Music/control/CMakeLists.txt"
expect "the tree with sub-folder layers passes once mended" 0 "" python3 "$layering" "$tree"

# The doc's layer diagram: what --diagram prints, between its markers, or the check fails.
mkdir -p "$tree/docs"
write_doc() {
  { printf '# Layers\n\n%s\n```\n' "$1"
    python3 "$layering" --diagram | sed "$3"
    printf '```\n%s\n\nMore text.\n' "$2"; } >"$tree/docs/ARCHITECTURE.md"
}
begin='<!-- layer diagram: printed by scripts/check-layering.py --diagram -->'
end='<!-- end of layer diagram -->'
write_doc "$begin" "$end" ''
expect "a doc with the printed diagram passes" 0 "" python3 "$layering" "$tree"
write_doc "$begin" "$end" '1s/.*/platform: rtl/'
expect "a doc whose diagram drifted from the table fails at the first line that differs" 1 \
  'docs/ARCHITECTURE.md:5: the layer diagram differs from the table LAYERS' \
  python3 "$layering" "$tree"
expect "the drift is shown line by line" 1 '-platform: rtl' python3 "$layering" "$tree"
write_doc "$begin" "$end" '$a extra: line'
expect "a doc with a line the table lacks fails" 1 'the layer diagram differs from the table LAYERS' \
  python3 "$layering" "$tree"
write_doc "$begin" "" ''
expect "a doc without the end marker fails" 1 'docs/ARCHITECTURE.md: the layer diagram must stand once between' \
  python3 "$layering" "$tree"
write_doc "$begin" "$end" ''
expect "the doc with the printed diagram passes again" 0 "" python3 "$layering" "$tree"

# Owners: a handle, a mapping, a descriptor or an Xlib image let go by hand outside its owner type.
owners=$work/owners
mkdir -p "$owners"/{library,platform/core,tests/library}
printf 'THandleOwner file(CreateFileA(name));\n' >"$owners/library/Files.cpp"
printf 'BOOL CloseHandle(HANDLE handle)\n{\n}\n' >"$owners/platform/core/Handles.cpp"
printf 'CloseHandle(handle);\n' >"$owners/tests/library/FilesTest.cpp"
expect "owned resources pass" 0 "" python3 "$source_root/scripts/check-owners.py" "$owners"
printf 'HANDLE file = CreateFileA(name);\n// CloseHandle(file) in a comment is fine\nCloseHandle(file);\n' \
  >"$owners/library/Files.cpp"
expect "a CloseHandle outside the owners fails with its line" 1 'library/Files.cpp:3: let go through its owner type' \
  python3 "$source_root/scripts/check-owners.py" "$owners"
printf 'munmap(view, size);\n' >"$owners/library/Files.cpp"
expect "a munmap outside the owners fails" 1 'library/Files.cpp:1:' python3 "$source_root/scripts/check-owners.py" "$owners"
printf 'if (::close(fd) != 0) {}\n' >"$owners/library/Files.cpp"
expect "a close outside the owners fails" 1 'library/Files.cpp:1:' python3 "$source_root/scripts/check-owners.py" "$owners"
printf 'XDestroyImage(image);\n' >"$owners/library/Files.cpp"
expect "an XDestroyImage outside the owners fails" 1 'library/Files.cpp:1:' \
  python3 "$source_root/scripts/check-owners.py" "$owners"
printf 'stream.close();\nFile.Close();\n' >"$owners/library/Files.cpp"
expect "closing a stream object is not a descriptor" 0 "" python3 "$source_root/scripts/check-owners.py" "$owners"

# Formatting: the project's own settings, one file formatted and one not.
format=$work/format
mkdir -p "$format/rtl"
cp "$source_root/.clang-format" "$format/"
printf 'int Add(int a, int b)\n{\n  return a + b;\n}\n' >"$format/rtl/Sound.cpp"
expect "a formatted tree passes" 0 "" bash "$source_root/scripts/check-format.sh" "$format"
printf 'int Sub(int a,int b){return a-b;}\n' >"$format/rtl/Drift.cpp"
expect "a formatting difference fails with the file name" 1 "not formatted: rtl/Drift.cpp" \
  bash "$source_root/scripts/check-format.sh" "$format"

if [[ $failures -ne 0 ]]; then
  exit 1
fi
echo "all checks of the checks passed"
