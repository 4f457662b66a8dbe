#!/usr/bin/env python3
"""Whether morek -i changes what programs mean, judged by each language's parser.

usage: bench/meaning.py [--morek BIN] [--text] TREE... -- MOREK_ARGS...

Each work tree is copied (its git-listed files, or all of them), morek -i with
MOREK_ARGS converts the copy, and each file that changed is compared with its
original by its language's own parser or tokenizer, with positions, blanks
and comments left out:

  Python   ast.dump                       Go     go/scanner's tokens
  JS, TS   the TypeScript compiler's tree  Rust   rustc's AST (unpretty=ast-tree)
  C, C++   clang -Xclang -dump-raw-tokens  Ruby   Ripper.sexp
  shell    shfmt --to-json                 PHP    token_get_all
  Perl     B::Deparse                      Java   javac's tree (JavacTask.parse)
  JSON     json                            YAML   PyYAML (if installed)

A file is "same" when both parse alike, "changed" when both parse but
differently, "broken" when only the original parses, "unjudged" when the
original does not parse either or no parser is at hand. It prints a table per
language, with the lines that the conversion changed; --text runs the same
conversion with --lang=text beside it, for the lines it would change.
Needs python3, go, node with typescript (npm: MOREK_TS_DIR names the folder), rustc, clang, ruby, shfmt,
php, perl and java; a missing one leaves its language unjudged.
"""
import argparse
import collections
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

EXT = {
    "py": "python", "pyi": "python", "pyw": "python", "go": "go", "rs": "rust", "php": "php",
    "js": "js", "mjs": "js", "cjs": "js", "jsx": "js", "ts": "js", "tsx": "js", "mts": "js", "cts": "js",
    "c": "c", "h": "c", "cc": "c", "cpp": "c", "cxx": "c", "hh": "c", "hpp": "c", "hxx": "c", "ipp": "c",
    "inl": "c", "m": "c", "mm": "c", "sh": "shell", "bash": "shell", "ksh": "shell", "bats": "shell",
    "zsh": "zsh", "rb": "ruby", "rake": "ruby", "gemspec": "ruby", "pl": "perl", "pm": "perl", "t": "perl",
    "java": "java", "kt": "kotlin", "kts": "kotlin", "scala": "kotlin", "groovy": "kotlin",
    "gradle": "kotlin", "cs": "csharp", "swift": "swift", "dart": "dart", "json": "json", "yml": "yaml",
    "yaml": "yaml",
}

GO_TOKENS = r'''package main

import (
	"bufio"
	"fmt"
	"go/scanner"
	"go/token"
	"os"
)

func tokens(path string) (string, bool) {
	src, err := os.ReadFile(path)
	if err != nil {
		return "", false
	}
	var s scanner.Scanner
	fset := token.NewFileSet()
	file := fset.AddFile(path, fset.Base(), len(src))
	bad := false
	s.Init(file, src, func(token.Position, string) { bad = true }, 0)
	out := []byte{}
	for {
		_, tok, lit := s.Scan()
		if tok == token.EOF {
			break
		}
		out = append(out, fmt.Sprintf("%d %q\n", tok, lit)...)
	}
	return string(out), !bad
}

func main() {
	in := bufio.NewScanner(os.Stdin)
	in.Buffer(make([]byte, 1<<20), 1<<20)
	for in.Scan() {
		var a, b string
		fmt.Sscanf(in.Text(), "%s %s", &a, &b)
		ta, oka := tokens(a)
		tb, okb := tokens(b)
		fmt.Println(verdict(ta, oka, tb, okb))
	}
}

func verdict(ta string, oka bool, tb string, okb bool) string {
	if !oka {
		return "unjudged"
	}
	if !okb {
		return "broken"
	}
	if ta == tb {
		return "same"
	}
	return "changed"
}
'''

JS_TREE = r'''
const ts = require("typescript");
const fs = require("fs");
const readline = require("readline");
function shape(path) {
  const text = fs.readFileSync(path, "utf8");
  const kind = /\.tsx$|\.jsx$/.test(path) ? ts.ScriptKind.TSX : /\.m?ts$|\.cts$/.test(path) ? ts.ScriptKind.TS : ts.ScriptKind.JSX;
  const sf = ts.createSourceFile(path, text, ts.ScriptTarget.Latest, false, kind);
  const out = [];
  const walk = (n) => {
    out.push(n.kind);
    if (n.text !== undefined && n.kind !== ts.SyntaxKind.SourceFile) out.push(JSON.stringify(n.text));
    if (n.rawText !== undefined) out.push(JSON.stringify(n.rawText));
    if (n.kind === ts.SyntaxKind.JsxText) out.push(JSON.stringify(n.getText(sf)));
    ts.forEachChild(n, walk);
  };
  walk(sf);
  return [out.join(" "), sf.parseDiagnostics.length === 0];
}
const rl = readline.createInterface({ input: process.stdin });
rl.on("line", (l) => {
  const [a, b] = l.split(" ");
  const [ta, oka] = shape(a);
  const [tb, okb] = shape(b);
  console.log(!oka ? "unjudged" : !okb ? "broken" : ta === tb ? "same" : "changed");
});
'''

RUBY_TREE = r'''
require "ripper"
def shape(path)
  s = Ripper.sexp(File.binread(path))
  s && s.inspect.gsub(/\[\d+, \d+\]/, "")
end
STDIN.each_line do |l|
  a, b = l.split
  ta = shape(a)
  tb = shape(b)
  puts(ta.nil? ? "unjudged" : tb.nil? ? "broken" : ta == tb ? "same" : "changed")
  STDOUT.flush
end
'''

JAVA_TREE = r'''import com.sun.source.tree.*;
import com.sun.source.util.*;
import javax.tools.*;
import java.io.*;
import java.nio.file.*;
import java.util.*;

public class JavaShape {
  static String shape(String path) throws Exception {
    JavaCompiler c = ToolProvider.getSystemJavaCompiler();
    DiagnosticCollector<JavaFileObject> d = new DiagnosticCollector<>();
    StandardJavaFileManager fm = c.getStandardFileManager(d, null, null);
    JavacTask t = (JavacTask) c.getTask(null, fm, d, List.of("-proc:none"), null, fm.getJavaFileObjects(path));
    StringBuilder sb = new StringBuilder();
    for (CompilationUnitTree u : t.parse()) {
      new TreeScanner<Void, Void>() {
        @Override public Void scan(Tree tree, Void v) {
          if (tree != null) {
            sb.append(tree.getKind()).append(' ');
            if (tree instanceof LiteralTree l) sb.append(String.valueOf(l.getValue())).append(' ');
            if (tree instanceof IdentifierTree i) sb.append(i.getName()).append(' ');
            if (tree instanceof MemberSelectTree m) sb.append(m.getIdentifier()).append(' ');
          }
          return super.scan(tree, v);
        }
      }.scan(u, null);
    }
    for (Diagnostic<?> x : d.getDiagnostics()) if (x.getKind() == Diagnostic.Kind.ERROR) return null;
    return sb.toString();
  }
  public static void main(String[] a) throws Exception {
    BufferedReader in = new BufferedReader(new InputStreamReader(System.in));
    for (String l; (l = in.readLine()) != null;) {
      String[] ab = l.split(" ");
      String x = shape(ab[0]), y = shape(ab[1]);
      System.out.println(x == null ? "unjudged" : y == null ? "broken" : x.equals(y) ? "same" : "changed");
      System.out.flush();
    }
  }
}
'''

PHP_TOKENS = r'''<?php
function shape($path) {
  $out = [];
  try {
    foreach (token_get_all(file_get_contents($path), TOKEN_PARSE) as $t) {
      if (is_array($t)) {
        if ($t[0] == T_WHITESPACE || $t[0] == T_COMMENT || $t[0] == T_DOC_COMMENT) continue;
        $out[] = token_name($t[0]) . " " . json_encode($t[1]);
      } else {
        $out[] = $t;
      }
    }
  } catch (ParseError $e) {
    return null;
  }
  return implode("\n", $out);
}
while (($l = fgets(STDIN)) !== false) {
  [$a, $b] = explode(" ", trim($l));
  $ta = shape($a);
  $tb = shape($b);
  echo ($ta === null ? "unjudged" : ($tb === null ? "broken" : ($ta === $tb ? "same" : "changed"))), "\n";
}
'''


def have(program):
    return shutil.which(program) is not None


class Judges:
    """Batch judges (one process for many pairs) and per-file ones."""

    def __init__(self, work):
        self.work = work
        self.go = None
        if have("go"):
            src = os.path.join(work, "gotok")
            os.makedirs(src, exist_ok=True)
            with open(os.path.join(src, "main.go"), "w") as f:
                f.write(GO_TOKENS)
            exe = os.path.join(work, "gotok.bin")
            r = subprocess.run(["go", "build", "-o", exe, "main.go"], cwd=src, capture_output=True,
                               env=dict(os.environ, GO111MODULE="off", GOCACHE=os.path.join(work, "gocache")))
            self.go = [exe] if r.returncode == 0 else None
        self.js = None
        ts_dir = os.environ.get("MOREK_TS_DIR", "")
        if have("node") and ts_dir:
            self.js = ["node", self.script("jstree.js", JS_TREE)]
            self.js_env = dict(os.environ, NODE_PATH=os.path.join(ts_dir, "node_modules"))
        self.ruby = None
        if have("ruby"):
            self.ruby = ["ruby", self.script("rbtree.rb", RUBY_TREE)]
        self.java = None
        if have("java"):
            self.java = ["java", self.script("JavaShape.java", JAVA_TREE)]
        self.php = None
        if have("php"):
            self.php = ["php", "-d", "memory_limit=1G", self.script("phptok.php", PHP_TOKENS)]

    def script(self, name, text):
        """Writes a judge's program into the work folder; returns its path."""
        path = os.path.join(self.work, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def batch(self, cmd, pairs, env=None):
        if not pairs:
            return []
        lines = "".join(f"{a} {b}\n" for a, b in pairs)
        r = subprocess.run(cmd, input=lines, capture_output=True, text=True, env=env)
        got = r.stdout.split()
        return got if len(got) == len(pairs) else ["unjudged"] * len(pairs)

    @staticmethod
    def compare(shape, a, b):
        sa, sb = shape(a), shape(b)
        if sa is None:
            return "unjudged"
        if sb is None:
            return "broken"
        return "same" if sa == sb else "changed"

    @staticmethod
    def python_shape(path):
        import ast
        try:
            with open(path, "rb") as f:
                return ast.dump(ast.parse(f.read()))
        except (SyntaxError, ValueError):
            return None

    @staticmethod
    def clang_shape(path):
        lang = "c" if path.endswith(".c") else "objective-c++" if path.endswith(".mm") else "c++"
        r = subprocess.run(["clang", "-fsyntax-only", "-Xclang", "-dump-raw-tokens", "-x", lang, path],
                           capture_output=True, text=True, errors="replace")
        # Blanks, newlines and comments are tokens of their own in a raw dump;
        # a token cut by backslash-newline shows its spelling as [UnClean=...].
        dump = re.sub(r"\s*\[UnClean='.*?'\](?=\s*Loc=<)", "", r.stderr, flags=re.S)
        toks = [f"{kind} {text}" for kind, text in
                re.findall(r"(\w+) '(.*?)'\t[^\n]*?Loc=<[^>]*>\n", dump, re.S)
                if not (kind == "unknown" and text.strip(" \t\n\r\\\f\v") == "") and kind != "comment"]
        return "\n".join(toks)

    @staticmethod
    def rust_shape(path):
        # The parser's own tree (doc comments are in it, as attributes),
        # without its spans.
        r = subprocess.run(["rustc", "-Z", "unpretty=ast-tree", "--edition", "2021", path], capture_output=True,
                           text=True, errors="replace", env=dict(os.environ, RUSTC_BOOTSTRAP="1"),
                           cwd=os.path.dirname(path))
        if r.returncode != 0:
            return None
        return re.sub(r"\S+:\d+:\d+: \d+:\d+ \(#\d+\)", "", r.stdout)

    @staticmethod
    def shell_shape(path):
        with open(path, "rb") as f:
            dialect = ["-ln", "bats"] if path.endswith(".bats") else []
            r = subprocess.run(["shfmt", *dialect, "--to-json"], stdin=f, capture_output=True, text=True)
        if r.returncode != 0:
            return None

        def strip(n):
            if isinstance(n, dict):
                return {k: strip(v) for k, v in n.items()
                        if k not in ("Comments", "Last") and not (isinstance(v, dict) and "Offset" in v)}
            if isinstance(n, list):
                return [strip(v) for v in n]
            return n
        return json.dumps(strip(json.loads(r.stdout)), sort_keys=True)

    @staticmethod
    def perl_shape(path, root):
        # A fixed hash seed, so that declarations come out in one order.
        r = subprocess.run(["perl", "-I" + os.path.join(root, "lib"), "-MO=Deparse", path], capture_output=True,
                           timeout=60, env=dict(os.environ, PERL_HASH_SEED="0", PERL_PERTURB_KEYS="0"))
        if r.returncode != 0:
            return None
        # __FILE__ comes out as the file's own path, and paths hold the tree's.
        return (r.stdout.replace(path.encode(), b"FILE").replace(os.path.dirname(path).encode(), b"DIR")
                .replace(root.encode(), b"ROOT"))

    @staticmethod
    def loaded_shape(path, load):
        try:
            with open(path, "rb") as f:
                return repr(load(f.read()))
        except Exception:  # any error of the loader is a failure to parse
            return None

    @staticmethod
    def json_shape(path):
        return Judges.loaded_shape(path, json.loads)

    @staticmethod
    def yaml_shape(path):
        import yaml
        return Judges.loaded_shape(path, lambda text: list(yaml.safe_load_all(text)))

    def judge(self, lang, pairs, root):
        if lang == "go" and self.go:
            return self.batch(self.go, pairs)
        if lang == "js" and self.js:
            return self.batch(self.js, pairs, self.js_env)
        if lang == "ruby" and self.ruby:
            return self.batch(self.ruby, pairs)
        if lang == "java" and self.java:
            return self.batch(self.java, pairs)
        if lang == "php" and self.php:
            return self.batch(self.php, pairs)
        shape = {"python": self.python_shape, "json": self.json_shape,
                 "yaml": self.yaml_shape if has_yaml() else None,
                 "c": self.clang_shape if have("clang") else None,
                 "rust": self.rust_shape if have("rustc") else None,
                 "shell": self.shell_shape if have("shfmt") else None}.get(lang)
        if lang == "perl" and have("perl"):
            # Each file with the modules of its own tree: the copy's against the copy's.
            out = []
            for a, b in pairs:
                rel = os.path.relpath(a, root)
                try:
                    out.append(self.compare(lambda p: self.perl_shape(p, p[:len(p) - len(rel)].rstrip(os.sep)), a, b))
                except (subprocess.TimeoutExpired, OSError):
                    out.append("unjudged")
            return out
        if shape is None:
            return ["unjudged"] * len(pairs)
        out = []
        for a, b in pairs:
            try:
                out.append(self.compare(shape, a, b))
            except (subprocess.TimeoutExpired, OSError, ValueError):
                out.append("unjudged")
        return out


def has_yaml():
    try:
        import yaml  # noqa: F401
        return True
    except ImportError:
        return False


def language_of(path):
    base = os.path.basename(path)
    if "." in base[1:]:
        return EXT.get(base.rsplit(".", 1)[1])
    if base in ("Rakefile", "Gemfile"):
        return "ruby"
    try:
        with open(path, "rb") as f:
            first = f.readline(200).decode("latin-1")
    except OSError:
        return None
    if first.startswith("#!"):
        for word, lang in (("python", "python"), ("ruby", "ruby"), ("perl", "perl"), ("node", "js"),
                           ("php", "php"), ("zsh", "zsh"), ("bash", "shell"), ("sh", "shell")):
            if word in first:
                return lang
    return None


def copy_tree(tree, dest):
    r = subprocess.run(["git", "-C", tree, "ls-files", "-z"], capture_output=True)
    names = [n.decode("utf-8", "surrogateescape") for n in r.stdout.split(b"\0") if n] if r.returncode == 0 else None
    if names is None:
        shutil.copytree(tree, dest, symlinks=True)
        return
    for n in names:
        src = os.path.join(tree, n)
        if os.path.islink(src) or not os.path.isfile(src):
            continue
        os.makedirs(os.path.dirname(os.path.join(dest, n)), exist_ok=True)
        shutil.copy2(src, os.path.join(dest, n))


def changed_files(orig, conv):
    for dirpath, _, files in os.walk(conv):
        for f in files:
            b = os.path.join(dirpath, f)
            a = os.path.join(orig, os.path.relpath(b, conv))
            with open(a, "rb") as fa, open(b, "rb") as fb:
                ta, tb = fa.read(), fb.read()
            if ta != tb:
                la, lb = ta.split(b"\n"), tb.split(b"\n")
                lines = sum(1 for x, y in zip(la, lb) if x != y) + abs(len(la) - len(lb))
                yield a, b, lines


def convert(morek, args, orig, work, name):
    conv = os.path.join(work, name)
    shutil.copytree(orig, conv, symlinks=True)
    r = subprocess.run([morek, "-i", *args, "."], cwd=conv, capture_output=True, text=True)
    return conv, r


def main():
    argv = sys.argv[1:]
    if "--" not in argv:
        sys.exit(__doc__)
    cut = argv.index("--")
    ap = argparse.ArgumentParser()
    ap.add_argument("--morek", default=os.path.join(HERE, "..", "build", "default", "morek"))
    ap.add_argument("--text", action="store_true")
    ap.add_argument("--show", type=int, default=0, help="print up to N changed or broken files")
    ap.add_argument("trees", nargs="+")
    opt = ap.parse_args(argv[:cut])
    args = argv[cut + 1:]
    morek = os.path.abspath(opt.morek)
    with tempfile.TemporaryDirectory() as work:
        judges = Judges(work)
        rows = collections.defaultdict(collections.Counter)
        shown = 0
        for k, tree in enumerate(opt.trees):
            orig = os.path.join(work, f"orig{k}")
            copy_tree(tree, orig)
            conv, r = convert(morek, args, orig, work, f"conv{k}")
            if r.returncode not in (0, 1):
                print(f"{tree}: morek exit {r.returncode}: {r.stderr.strip()[:300]}", file=sys.stderr)
            by_lang = collections.defaultdict(list)
            for a, b, lines in changed_files(orig, conv):
                lang = language_of(a) or "other"
                by_lang[lang].append((a, b, lines))
            for lang, files in by_lang.items():
                verdicts = judges.judge(lang, [(a, b) for a, b, _ in files], orig)
                for (a, b, lines), v in zip(files, verdicts):
                    rows[lang][v] += 1
                    rows[lang]["lines"] += lines
                    if v in ("changed", "broken") and shown < opt.show:
                        shown += 1
                        print(f"{v}: {tree}/{os.path.relpath(a, orig)}", file=sys.stderr)
            if opt.text:
                conv_t, _ = convert(morek, ["--lang=text", *args], orig, work, f"text{k}")
                for a, _, lines in changed_files(orig, conv_t):
                    rows[language_of(a) or "other"]["text lines"] += lines
                shutil.rmtree(conv_t)
            shutil.rmtree(conv)
            shutil.rmtree(orig)
        cols = ["same", "changed", "broken", "unjudged", "lines"] + (["text lines"] if opt.text else [])
        print(f"morek -i {' '.join(args)}")
        print("| language | " + " | ".join(cols) + " |")
        print("|---" * (len(cols) + 1) + "|")
        for lang in sorted(rows):
            print(f"| {lang} | " + " | ".join(str(rows[lang][c]) for c in cols) + " |")


if __name__ == "__main__":
    main()
