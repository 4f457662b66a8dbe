#!/usr/bin/env bash
# A real editor on a real buffer: Neovim, headless, opens a file, filters the
# whole buffer through morek --stdin-filename (as the README wires it) and
# writes the buffer elsewhere; what it writes must be what morek -i makes of
# the same file, byte for byte. Skipped (status 77) where nvim is missing.
#   editor_test.sh MOREK
set -euo pipefail
export LC_ALL=C
morek=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
command -v nvim >/dev/null || { echo "SKIP: nvim is not installed (tools/test-all installs neovim)"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data XDG_STATE_HOME=$work/home/state
mkdir -p "$HOME" "$work/files/src"

# Files of several kinds, some with regions left alone, some that the
# conversion leaves as they are.
cd "$work/files"
printf 'root = true\n[*]\nindent_style = tab\ntab_width = 4\ntrim_trailing_whitespace = true\n[*.py]\nindent_style = space\nindent_size = 4\n[*.{yml,yaml}]\nindent_style = space\nindent_size = 2\n' >.editorconfig
printf 'def f():\n\tif x:\n\t\treturn  1  \n' >a.py
printf 'def f():\n    if x:\n\treturn 1\n' >mixed.py
printf 'all:\n\techo  a\nX  =\t1\n        y\n' >Makefile
printf 'a:\n  b:       1\nc: |\n    \tkept\n' >c.yml
printf '\tint  x;  \n// morek: off\n\tint  y;  \n// morek: on\n\ts = "a\t\tb";\n' >src/x.c
printf '#!/bin/sh\nif true; then\n        cat <<EOF\n\t  kept\nEOF\nfi\n' >src/run
printf '\tCRLF line\r\n\t\tand another\r\n' >dos.txt
printf '        no final newline' >last.txt

status=0
for style in "--editorconfig" "8 4" "--spaces 4" "-t --indent-only 8 8"; do
  for f in a.py mixed.py Makefile c.yml src/x.c src/run dos.txt last.txt; do
    rm -rf "$work/inplace" "$work/out"
    cp -a "$work/files" "$work/inplace"
    # shellcheck disable=SC2086 # the style's words
    (cd "$work/inplace" && "$morek" -i $style "$f" 2>/dev/null) || true
    # The buffer of the file, binary so that line ends and a missing last
    # newline are the file's; the filter takes the buffer's name (%), and its
    # notes go elsewhere, since :%! would put standard error in the buffer.
    (cd "$work/files" && nvim --headless -n -i NONE -u NONE --noplugin -b \
      -c "silent %!$morek --stdin-filename=% $style 2>/dev/null" -c "w! $work/out" -c 'qa!' "$f" >/dev/null 2>&1) || true
    if ! cmp -s "$work/out" "$work/inplace/$f"; then
      echo "FAIL: $style $f: the buffer differs from what -i writes"
      diff <(od -c "$work/inplace/$f") <(od -c "$work/out") | head -20 || true
      status=1
    fi
  done
done
# The buffer was never the file: the files are as they were.
[ "$(cat "$work/files/a.py")" = "$(printf 'def f():\n\tif x:\n\t\treturn  1  ')" ] || { echo "FAIL: a.py was written"; status=1; }
exit $status
