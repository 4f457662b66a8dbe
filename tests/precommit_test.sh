#!/usr/bin/env bash
# The pre-commit hooks of .pre-commit-hooks.yaml, run by pre-commit on a
# scratch repository: the fixing hook converts and then settles, the checking
# hook prints the diff and fails, and YAML keeps its space indentation.
#   precommit_test.sh SOURCE_DIR DIRECTORY_OF_MOREK
set -euo pipefail
src=$1
bin=$2
command -v pre-commit >/dev/null || { echo "pre-commit is not installed (tools/test-all installs it)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH="$bin:$PATH" PRE_COMMIT_HOME="$work/cache" HOME="$work"
git_() { git -c user.name=t -c user.email=t@t -c init.defaultBranch=main "$@"; }

# The hooks, as a repository of their own.
mkdir "$work/hooks"
cp "$src/.pre-commit-hooks.yaml" "$work/hooks/"
(cd "$work/hooks" && git_ init -q && git_ add . && git_ commit -qm hooks)
rev=$(git -C "$work/hooks" rev-parse HEAD)

mkdir "$work/repo"
cd "$work/repo"
git_ init -q
printf 'int f(void)\n{\n        return  1;\n}\n' > a.c
printf 'def f():\n\treturn  1\n' > b.py
printf 'a:\n    b: 1\n' > c.yaml
cat > .pre-commit-config.yaml <<YAML
repos:
- repo: $work/hooks
  rev: $rev
  hooks:
  - id: morek-check
    args: [--indent-only, "4", "4"]
YAML
git_ add .
fail() { echo "FAILED: $*"; exit 1; }

# The check fails and shows what it would change, and changes nothing.
if pre-commit run --all-files > "$work/out.txt" 2>&1; then fail "the check passed"; fi
grep -q '^-        return  1;' "$work/out.txt" || { cat "$work/out.txt"; fail "no diff in the check's output"; }
grep -q "^+$(printf '\t\t')return  1;" "$work/out.txt" || { cat "$work/out.txt"; fail "no added line in the check's output"; }
grep -q 'c.yaml' "$work/out.txt" && fail "YAML was checked"
[ "$(cat a.c)" = "$(printf 'int f(void)\n{\n        return  1;\n}')" ] || fail "the check changed a file"

# The fixing hook converts, then a second run finds nothing to do.
sed -i 's/id: morek-check/id: morek/' .pre-commit-config.yaml
git_ add .
if pre-commit run --all-files > "$work/out.txt" 2>&1; then fail "the first fixing run passed"; fi
[ "$(cat a.c)" = "$(printf 'int f(void)\n{\n\t\treturn  1;\n}')" ] || { cat -A a.c; fail "a.c not converted"; }
[ "$(cat b.py)" = "$(printf 'def f():\n\treturn  1')" ] || fail "b.py changed"
[ "$(cat c.yaml)" = "$(printf 'a:\n    b: 1')" ] || fail "YAML got tabs"
git_ add .
pre-commit run --all-files > "$work/out.txt" 2>&1 || { cat "$work/out.txt"; fail "the second run changed something"; }

# The .editorconfig hooks need no args, and a file named like an option is a
# file: "--version" would end the run, "--spaces" would change the style, and
# "-b.c" would be a buffer size.
sed -i '/args:/d; s/id: morek$/id: morek-editorconfig-diff/' .pre-commit-config.yaml
printf 'root = true\n[*]\nindent_style = tab\ntab_width = 4\n' > .editorconfig
printf 'int g(void)\n{\n        return  2;\n}\n' > ./-b.c
printf 'x\n' > ./--version
printf 'x\n' > ./--spaces
git_ add -- .
if pre-commit run --all-files > "$work/out.txt" 2>&1; then cat "$work/out.txt"; fail "the .editorconfig check passed"; fi
grep -q '^+++ b/-b.c' "$work/out.txt" || { cat "$work/out.txt"; fail "-b.c was not checked"; }
sed -i 's/id: morek-editorconfig-diff/id: morek-editorconfig/' .pre-commit-config.yaml
git_ add -- .
if pre-commit run --all-files > "$work/out.txt" 2>&1; then cat "$work/out.txt"; fail "the first .editorconfig run passed"; fi
[ "$(cat ./-b.c)" = "$(printf 'int g(void)\n{\n\t\treturn  2;\n}')" ] || { cat -A ./-b.c; fail "-b.c not converted"; }
git_ add -- .
pre-commit run --all-files > "$work/out.txt" 2>&1 || { cat "$work/out.txt"; fail "the second .editorconfig run changed something"; }
echo "1 passed, 0 failed"
