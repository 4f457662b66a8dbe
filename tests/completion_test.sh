#!/usr/bin/env bash
# The completions for bash, zsh and fish, each run by its own shell in a
# scratch directory: bash through bash-completion's loader and the function it
# registers, zsh through compinit in an interactive zsh on a pseudo-terminal,
# fish through complete -C. The options offered are those morek --help
# documents, the values of --lang those its message for an unknown language
# lists, those of --format its message for an unknown format lists, those of
# --eol and --color those the help names and morek accepts.
#   completion_test.sh COMPLETIONS_DIR MOREK
set -euo pipefail
export LC_ALL=C
completions=$(cd "$1" && pwd)
morek=$2
PATH=$(dirname "$morek"):$PATH
for shell in bash zsh fish; do
  command -v $shell >/dev/null || { echo "$shell is not installed (tools/test-all installs it)"; exit 1; }
done
bash_completion=/usr/share/bash-completion/bash_completion
[ -f $bash_completion ] || { echo "bash-completion is not installed (tools/test-all installs it)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No user's settings reach the shells.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data
mkdir -p "$HOME" "$work/bash/completions" "$work/tree/sub"
ln -s "$completions/morek.bash" "$work/bash/completions/morek"
cd "$work/tree"
touch a.c b.py ./-x.c sub/s.c

# What morek documents and accepts.
help=$("$morek" --help)
words() { tr ' ' '\n' | sed '/^$/d' | sort -u | tr '\n' ' ' | sed 's/ $//'; }
options=$(grep -oE '^  -[^ ]+( [A-Z]+)?(, -[^ ]+)?' <<<"$help" | sed -E 's/ [A-Z]+//' | tr ',' ' ' |
  sed -E 's/<[^>]*>//g; s/\[=[^ ]*//g; s/=[^ ]*//g' |
  tr ' ' '\n' | grep -vx -- '--' | words)
long_options=$(tr ' ' '\n' <<<"$options" | grep -- '^--' | words)
unknown=$("$morek" --lang=nonsense 8 8 </dev/null 2>&1 || true)
languages=$(sed -E 's/.*\((.*)\)$/\1/; s/,? or / /; s/,//g' <<<"$unknown" | words)
eols=$(grep -oE -- '--eol=[a-z]+' <<<"$help" | sed 's/--eol=//' | words)
accepted() {
  local option=$1 value
  shift
  for value; do
    if "$morek" "$option=$value" 8 8 </dev/null >/dev/null 2>&1; then echo "$value"; fi
  done
}
# shellcheck disable=SC2046 # the words of the line
# The formats: those its message for an unknown one lists, each taken by --check.
unknown_format=$("$morek" --check --format=nonsense 8 8 a.c 2>&1 || true)
formats=$(sed -E 's/.*\((.*)\)$/\1/; s/,//g' <<<"$unknown_format" | words)
[ "$formats" != "$(words <<<"$unknown_format")" ] || { echo "no list of formats in: $unknown_format"; exit 1; }
for f in $formats; do "$morek" --check --format="$f" 8 8 a.c >/dev/null || { echo "morek refuses --format=$f"; exit 1; }; done
colours=$(accepted --color $(grep -E -- '^  --color=' <<<"$help" | sed 's/^ *[^ ]* *//' | tr -c 'a-zA-Z_\n' ' ') | words)
if [ -z "$options" ] || [ -z "$eols" ] || [ -z "$colours" ]; then echo "nothing read from morek --help"; exit 1; fi
[ "$languages" != "$(words <<<"$unknown")" ] || { echo "no list of languages in: $unknown"; exit 1; }
# shellcheck disable=SC2086 # one language a word
[ "$(accepted --lang $languages | words)" = "$languages" ] || { echo "morek refuses a language it lists"; exit 1; }

files='-x.c a.c b.py sub'
# A command line, up to the cursor at its end, and the words the completion
# offers there: options, values after the option's =, files and directories
# (without the / of a directory, or the = of an option).
cases=(
  "morek -|$options"
  "morek --|$long_options"
  "morek --la|--lang --latin1"
  "morek --lan|--lang"
  "morek -b|"
  "morek --lang=|$languages"
  "morek -c --lang=py|python"
  "morek --eol=|$eols"
  "morek --color=|$colours"
  "morek --check --format=|$formats"
  "morek --check --format=s|sarif"
  "morek --exclude-dir=|sub"
  "morek --exclude-dir=s|sub"
  "morek --exclude=|$files"
  "morek |"
  "morek 8 |"
  "morek -- |"
  "morek 8 4 |$files"
  "morek -c -t 8 4 s|sub"
  "morek 8 4 a.c |"
  "morek --spaces 4 |$files"
  "morek --spaces 4 a.c |"
  "morek -i 8 4 a.c |$files"
  "morek -ci 8 4 a.c b|b.py"
  "morek --check --spaces 4 a.c |$files"
  "morek --diff --indent-only 8 |"
  "morek --diff --indent-only 8 8 sub |$files"
  "morek --editorconfig --check |$files"
  "morek --show-settings --editorconfig a.c |$files"
  "morek -i 8 4 -|-x.c"
  "morek --jo|--jobs"
  "morek -j |"
  "morek -j 2 |"
  "morek -i -j 2 8 4 |$files"
  "morek -ij 2 8 4 a.c |$files"
  "morek -j 2 8 4 a.c |"
  "morek -- 8 4 -|-x.c"
  "morek --std|--stdin-filename"
  "morek --stdin-filename=|$files"
  "morek --stdin-filename=s|sub"
  "morek --stdin-filename=a.c 8 4 |"
  "morek --check --stdin-filename=a.c 8 4 |"
  "morek --stdin-filename=a.c --editorconfig |"
)
lines=()
for c in "${cases[@]}"; do lines+=("${c%%|*}"); done

# Each shell prints, for each line, what it offers, one a line, then @@.
bash_offers() {
  XDG_DATA_DIRS=/nonexistent BASH_COMPLETION_USER_DIR=$work/bash bash --norc --noprofile -s "$@" <<'EOF'
set -u
source /usr/share/bash-completion/bash_completion
__load_completion morek || { echo "bash-completion did not load morek's completion"; exit 1; }
function=$(complete -p morek | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
# Readline would write a blank after a lone --name=, whose value follows in
# the same word: compopt must stop it.
compopt() { [[ $* != *'-o nospace'* ]] || nospace=1; }
for line; do
  # readline's words: blanks part them, and = is one of its own
  split=${line//=/ = }
  read -ra COMP_WORDS <<<"$split"
  [[ $line == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
  COMPREPLY=() nospace=0
  $function morek "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  ((${#COMPREPLY[@]} == 0)) || printf '%s\n' "${COMPREPLY[@]}"
  [[ ${#COMPREPLY[@]} -ne 1 || $COMPREPLY != *= ]] || ((nospace)) || echo "(blank-after:$COMPREPLY)"
  echo @@
done
EOF
}

zsh_offers() {
  TERM=vt100 timeout 120 zsh -f -s "$completions" "$work/zsh.out" "$@" <<'EOF'
zmodload zsh/zpty || exit 1
dir=$1 out=$2
shift 2
# Input typed before the line editor sets up the terminal may be dropped, as
# it starts and after each command: each step waits for its prompt.
zpty z 'PS1="<PROMPT>" zsh -f -i'
zpty -r z reply '*<PROMPT>*'
integer step=0
settle() {
  (( step++ ))
  zpty -w z "print \$(( $step * 1000 + 7 ))_settled"
  zpty -r z reply "*$(( step * 1000 + 7 ))_settled*<PROMPT>*"
}
zpty -w z "unsetopt auto_list beep; fpath=($dir \$fpath); autoload -U compinit; compinit -u -D"
settle
# Records what is offered: every compadd but those that only ask what would
# match (-O, -A) or narrow a list (-D).
zpty -w z "compadd() {
  local a
  for a; do
    [[ \$a == (-|--) ]] && break
    [[ \$a == -[[:alnum:]]#[OAD] ]] && { builtin compadd \"\$@\"; return; }
  done
  local -a hits
  builtin compadd -O hits \"\$@\"
  (( \$#hits )) && print -rl -- \$hits >> $out
  builtin compadd \"\$@\"
}"
settle
for line; do
  : > $out
  zpty -w -n z "$line"$'\t'$'\C-u'
  settle
  cat $out
  print @@
done
zpty -d z
EOF
}

fish_offers() {
  fish -c '
    set fish_complete_path $argv[1] $fish_complete_path
    for line in $argv[2..-1]
      complete -C $line | string replace -r "\t.*" ""
      echo @@
    end' "$completions" "$@"
}

failed=0
for shell in bash zsh fish; do
  mapfile -t offered < <(${shell}_offers "${lines[@]}")
  i=0
  for c in "${cases[@]}"; do
    raw=()
    while ((i < ${#offered[@]})) && [ "${offered[i]}" != @@ ]; do
      raw+=("${offered[i]}")
      ((i++)) || true
    done
    ((i++)) || true
    # Drop what a shell writes before the value (--lang=) and after a
    # directory (/).
    got=$(for g in "${raw[@]}"; do
      g=${g%/}
      g=${g%=}
      [[ $g == --*=* && $c == *=* ]] && g=${g#*=}
      echo "$g"
    done | words)
    want=$(words <<<"${c#*|}")
    if [ "$got" != "$want" ]; then
      missing=$(comm -13 <(tr ' ' '\n' <<<"$got") <(tr ' ' '\n' <<<"$want") | words)
      extra=$(comm -23 <(tr ' ' '\n' <<<"$got") <(tr ' ' '\n' <<<"$want") | words)
      echo "$shell: '${c%%|*}': misses [$missing], offers besides [$extra]"
      failed=$((failed + 1))
    fi
  done
  ((i == ${#offered[@]})) || { echo "$shell: ${#offered[@]} lines of output for ${#cases[@]} cases"; failed=$((failed + 1)); }
done
((failed == 0)) || exit 1
echo "${#cases[@]} command lines in bash, zsh and fish: ok"
