#!/usr/bin/env bash
# Installs the build into a temporary prefix, runs the installed binary, and
# builds the Debian package and checks what it holds. The shells' completions
# land where each shell looks: under a prefix it is told of, and in the
# package where this machine's shells look for a package's.
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

share=$tmp/prefix/share
export PATH="$tmp/prefix/bin:$PATH" HOME=$tmp XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
loaded=$(XDG_DATA_DIRS=$share bash --norc -c \
  'source /usr/share/bash-completion/bash_completion; __load_completion morek && complete -p morek')
[[ $loaded == *' morek' ]] || { echo "bash-completion does not find the installed completion"; exit 1; }
registered=$(zsh -f -c 'fpath=("$1"/zsh/site-functions $fpath); autoload -U compinit; compinit -u -D
  found=(${^fpath}/_morek(N)); print -r -- $_comps[morek] $found[1]' zsh "$share")
[ "$registered" = "_morek $share/zsh/site-functions/_morek" ] || { echo "zsh's compinit does not find the installed completion"; exit 1; }
offered=$(XDG_DATA_DIRS=$share fish -c 'complete -C "morek --eol=k"')
[[ $offered == --eol=keep* ]] || { echo "fish does not find the installed completion: $offered"; exit 1; }

(cd "$tmp" && cpack --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >/dev/null)
deb=$(ls "$tmp"/pkg/*.deb)
contents=$(dpkg-deb -c "$deb")
grep -q '/bin/morek$' <<<"$contents" || { echo "package lacks bin/morek"; exit 1; }
grep -q '/share/man/man1/morek.1' <<<"$contents" || { echo "package lacks the manual page"; exit 1; }
zsh_dir=$(zsh -f -c 'print -r -- ${(M)fpath:#/usr/share/*completions}')
for file in "$(pkg-config --variable=completionsdir bash-completion)/morek" \
  "$(pkg-config --variable=completionsdir fish)/morek.fish" "$zsh_dir/_morek"; do
  grep -q " \.$file\$" <<<"$contents" || { echo "package lacks $file"; exit 1; }
done
# The package depends on each library that the program loads, and on no
# other; a static program loads none.
depends=$(dpkg-deb -f "$deb" Depends)
loads=$(ldd "$tmp/prefix/bin/morek" 2>&1 || true)
for lib in utf8proc.so.2:libutf8proc2 acl.so.1:libacl1 attr.so.1:libattr1 stdc++.so.6:libstdc++6; do
  if grep -q "lib${lib%%:*}" <<<"$loads"; then
    grep -qw "${lib#*:}" <<<"$depends" || { echo "package does not depend on ${lib#*:}: $depends"; exit 1; }
  elif grep -qw "${lib#*:}" <<<"$depends"; then
    echo "package depends on ${lib#*:}, which morek does not load: $depends"
    exit 1
  fi
done
echo "installed and packaged: ok"
