#!/usr/bin/env bash
# Installs the build into a temporary prefix, runs the installed binary, and
# builds the Debian package and checks what it holds.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
test -x "$tmp/prefix/bin/morek"
test -f "$tmp/prefix/share/man/man1/morek.1"
got=$(printf '\tx\n' | "$tmp/prefix/bin/morek" 8 4 | od -An -c | tr -s ' ')
want=$(printf '\t\tx\r\n' | od -An -c | tr -s ' ')
[ "$got" = "$want" ] || { echo "installed morek wrote: $got"; exit 1; }

(cd "$tmp" && cpack --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >/dev/null)
deb=$(ls "$tmp"/pkg/*.deb)
contents=$(dpkg-deb -c "$deb")
grep -q '/bin/morek$' <<<"$contents" || { echo "package lacks bin/morek"; exit 1; }
grep -q '/share/man/man1/morek.1' <<<"$contents" || { echo "package lacks the manual page"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libutf8proc2 libacl1 libattr1; do
  grep -qw "$lib" <<<"$depends" || { echo "package does not depend on $lib: $depends"; exit 1; }
done
echo "installed and packaged: ok"
