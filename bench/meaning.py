#!/usr/bin/env python3
"""Whether morek -i changes what programs mean, judged by each language's parser.

usage: bench/meaning.py [options] TREE... -- MOREK_ARGS...    one style
       bench/meaning.py [options] [--styles all|N,N...] TREE...   every style (or those named)
       bench/meaning.py [options] --corpus [--styles ...] [TREE...]   the hand-written corpus first
       bench/meaning.py --list-styles

Each work tree is copied (its git-listed files, or all of them), morek -i
converts the copy, and each file that changed is compared with its original by
its language's own parser or tokenizer, with positions, blanks and comments
left out (but Go's where a file imports "C", for cgo compiles its comment as
C, and its //go: directives):

  Python   ast.dump and compile()         Go     go/scanner's tokens
  JS, TS   the TypeScript compiler's tree  Rust   rustc's AST (unpretty=ast-tree)
  C, C++   clang -Xclang -dump-raw-tokens  Ruby   Ripper.sexp
  shell    shfmt --to-json                 PHP    token_get_all
  Perl     B::Deparse                      Java   javac's tree (JavacTask.parse)
  JSON     json                            YAML   PyYAML (if installed)
  TOML     tomllib                         make   make -pn's database
  Kotlin, C#, Swift, Dart, Scala: tree-sitter's trees (npm tree-sitter-wasms)

--corpus adds bench/corpus, programs written to fool a lexer, one folder per
language: its files are named to morek one by one (as a hook names them, so
that kinds a walk leaves out are converted too), and each is judged by its
parser and, where it can be run, by running both versions and comparing what
they print. A file is "same" when both parse (and run) alike, "changed" when
both parse but differently, "broken" when only the original parses, "unjudged"
when the original does not parse either or no judge is at hand; "unproven"
when morek left it as it was with a note on standard error. A table per
language gives these by style, with the lines that the conversion changed;
--text runs the same conversion with --lang=text beside it, for the lines it
would change; --lines-only judges nothing and counts the files and lines
each style converts. --failures lists each changed or broken file with the first line
whose conversion makes the difference (found by applying the conversion's
lines in order).
Needs python3, go, node with typescript, web-tree-sitter and tree-sitter-wasms
(npm: MOREK_TS_DIR names the folder), rustc, clang, ruby, shfmt, php, perl,
java and make; a missing one leaves its language unjudged.
"""
import argparse
import collections
import hashlib
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
    "java": "java", "kt": "kotlin", "kts": "kotlin", "scala": "scala", "sc": "scala", "groovy": "groovy",
    "gradle": "groovy", "cs": "csharp", "swift": "swift", "dart": "dart", "json": "json", "yml": "yaml",
    "yaml": "yaml", "PL": "perl", "toml": "toml", "mk": "make", "mak": "make", "make": "make",
}

# Names that say a kind whatever their extension or first line.
NAMES = {"Makefile": "make", "makefile": "make", "GNUmakefile": "make", "BSDmakefile": "make", "Kbuild": "make",
         "Rakefile": "ruby", "Gemfile": "ruby", ".clang-format": "yaml", ".clang-tidy": "yaml", ".clangd": "yaml",
         "CITATION.cff": "yaml", ".gemrc": "yaml", ".condarc": "yaml", ".yamllint": "yaml",
         ".prettierrc": "yaml", ".eslintrc": "yaml", ".stylelintrc": "yaml"}

# The styles of a full run: widths both ways, each style, and .editorconfig
# files (the tree's own, and two written over its root one).
EC_TABS = """root = true
[*]
indent_style = tab
tab_width = 4
trim_trailing_whitespace = true
insert_final_newline = true
"""
EC_SPACES = """root = true
[*]
indent_style = space
indent_size = 2
tab_width = 8
end_of_line = lf
trim_trailing_whitespace = true
"""
OWN = ""
STYLES = [
    ("8 4", ["8", "4"], None), ("4 8", ["4", "8"], None), ("2 8", ["2", "8"], None), ("4 4", ["4", "4"], None),
    ("8 8", ["8", "8"], None), ("-t 4 2", ["-t", "4", "2"], None),
    ("--eol=lf -t 4 4", ["--eol=lf", "-t", "4", "4"], None),
    ("--spaces 4", ["--spaces", "4"], None), ("--spaces 8", ["--spaces", "8"], None),
    ("--indent-only 4 4", ["--indent-only", "4", "4"], None),
    ("--indent-only 8 8", ["--indent-only", "8", "8"], None),
    ("--indent-only 8 4", ["--indent-only", "8", "4"], None),
    ("--indent-only --spaces 2", ["--indent-only", "--spaces", "2"], None),
    ("--indent-only --spaces 4", ["--indent-only", "--spaces", "4"], None),
    ("ec: own", ["--editorconfig"], OWN),
    ("ec: tabs 4, trim, final newline", ["--editorconfig"], EC_TABS),
    ("ec: spaces 2, tab 8, lf, trim", ["--editorconfig"], EC_SPACES),
]

GO_TOKENS = r'''package main

import (
	"bufio"
	"fmt"
	"go/parser"
	"go/scanner"
	"go/token"
	"os"
	"regexp"
	"strings"
)

var output = regexp.MustCompile(`(?i)(//|/\*)[[:space:]]*(unordered[[:space:]]+)?output:`)

// Comments that tools read: //go: directives, the file names of //line and
// /*line, and go generate's lines in a block comment.
func directive(lit string) bool {
	return strings.HasPrefix(lit, "//go:") || strings.HasPrefix(lit, "//line") || strings.HasPrefix(lit, "/*line") ||
		strings.Contains(lit, "\n//go:")
}

func tokens(path string) (string, bool) {
	src, err := os.ReadFile(path)
	if err != nil {
		return "", false
	}
	var s scanner.Scanner
	fset := token.NewFileSet()
	file := fset.AddFile(path, fset.Base(), len(src))
	bad := false
	// cgo compiles the comment before import "C" as C: where a file imports
	// it, comments are tokens too, compared byte for byte; and so are the
	// directives that go generate and go:embed read (//go:...) everywhere.
	cgo := false
	if f, err := parser.ParseFile(token.NewFileSet(), path, src, parser.ImportsOnly); err == nil {
		for _, imp := range f.Imports {
			cgo = cgo || imp.Path.Value == `"C"`
		}
	}
	// go test compares an example's output with its comment.
	examples := output.Match(src)
	s.Init(file, src, func(token.Position, string) { bad = true }, scanner.ScanComments)
	out := []byte{}
	for {
		_, tok, lit := s.Scan()
		if tok == token.EOF {
			break
		}
		if tok == token.COMMENT && !cgo && !examples && !directive(lit) {
			continue
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
// The string JSX text stands for, as the compiler emits it: each line's
// blanks next to a line break dropped, lines of blanks alone dropped, the
// rest joined by a space; the blanks inside a line are the text's own.
function jsxText(text) {
  const parts = [];
  let first = 0, last = -1;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (c === "\n" || c === "\r") {
      if (first !== -1 && last !== -1) parts.push(text.slice(first, last + 1));
      first = -1;
    } else if (c !== " " && c !== "\t") {
      last = i;
      if (first === -1) first = i;
    }
  }
  if (first !== -1) parts.push(text.slice(first));
  return parts.join(" ");
}
function shape(path) {
  const text = fs.readFileSync(path, "utf8");
  const kind = /\.tsx$|\.jsx$/.test(path) ? ts.ScriptKind.TSX : /\.m?ts$|\.cts$/.test(path) ? ts.ScriptKind.TS : ts.ScriptKind.JSX;
  const sf = ts.createSourceFile(path, text, ts.ScriptTarget.Latest, false, kind);
  const out = [];
  const walk = (n) => {
    out.push(n.kind);
    if (n.kind === ts.SyntaxKind.JsxText) out.push(JSON.stringify(jsxText(n.text)));
    else if (n.text !== undefined && n.kind !== ts.SyntaxKind.SourceFile) out.push(JSON.stringify(n.text));
    if (n.rawText !== undefined) out.push(JSON.stringify(n.rawText));
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


SITTER_GRAMMARS = {"kotlin": "kotlin", "csharp": "c_sharp", "swift": "swift", "dart": "dart", "scala": "scala"}

# tree-sitter's tree of a file: every node's kind, and the text of leaves and
# of strings and characters (their blanks are theirs; an interpolation's code
# counts whole), comments left out. One file a process: some grammars' scanners
# keep state from one parse to the next.
SITTER_TREE = r'''
const { Parser, Language } = require("web-tree-sitter");
const fs = require("fs");
const path = require("path");
const grammars = { kotlin: "kotlin", csharp: "c_sharp", swift: "swift", dart: "dart", scala: "scala" };
const ext = { kt: "kotlin", kts: "kotlin", cs: "csharp", swift: "swift", dart: "dart", scala: "scala", sc: "scala" };
const dir = path.join(path.dirname(require.resolve("tree-sitter-wasms/package.json")), "out");
(async () => {
  const file = process.argv[2];
  await Parser.init();
  const p = new Parser();
  p.setLanguage(await Language.load(path.join(dir, `tree-sitter-${grammars[ext[file.split(".").pop()]]}.wasm`)));
  const text = fs.readFileSync(file, "utf8");
  const tree = p.parse(text);
  const out = [];
  // A string's own text between its children: what lies between an opening
  // and a closing quote is the literal's, what lies between two strings that
  // are written side by side is code.
  const quote = /^[@$rRbBuUfF]*("+|'+|`)#*$|^#*("+|'+)$/;
  const inner = (n) => {
    const parts = [];
    let pos = n.startIndex, inside = false;
    for (let i = 0; i < n.childCount; i++) {
      const c = n.child(i);
      if (inside) parts.push(text.slice(pos, c.startIndex));
      if (c.childCount === 0 && quote.test(c.text)) inside = !inside;
      pos = c.endIndex;
    }
    if (inside) parts.push(text.slice(pos, n.endIndex));
    return parts.join("|");
  };
  const walk = (n) => {
    // Comments, and the free text of a #region, mean nothing to the program.
    if (/comment/.test(n.type) || n.type === "preproc_message") return;
    out.push(n.type);
    if (n.childCount === 0) out.push(JSON.stringify(n.text));
    else if (/string|char|str_text|content|heredoc/.test(n.type)) out.push(JSON.stringify(inner(n)));
    for (let i = 0; i < n.childCount; i++) walk(n.child(i));
  };
  walk(tree.rootNode);
  process.stdout.write(tree.rootNode.hasError ? "error" : "ok\n" + out.join(" "));
})();
'''


def have(program):
    return shutil.which(program) is not None


class Judges:
    """Batch judges (one process for many pairs) and per-file ones."""

    def __init__(self, work):
        self.work = work
        self.shapes = {}  # an original's shape, by judge and path: the originals stay the same in every style
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
        self.js_env = dict(os.environ, NODE_PATH=os.path.join(ts_dir, "node_modules"))
        if have("node") and ts_dir:
            self.js = ["node", self.script("jstree.js", JS_TREE)]
        self.ruby = None
        if have("ruby"):
            self.ruby = ["ruby", self.script("rbtree.rb", RUBY_TREE)]
        self.java = None
        if have("java"):
            self.java = ["java", self.script("JavaShape.java", JAVA_TREE)]
        self.ts = None
        if have("node") and ts_dir and os.path.isdir(os.path.join(ts_dir, "node_modules", "tree-sitter-wasms")):
            self.ts = ["node", self.script("tstree.js", SITTER_TREE)]
            self.ts_env = self.js_env
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
        r = subprocess.run(cmd, input=lines, capture_output=True, text=True, env=env, errors="replace")
        got = r.stdout.split()
        return got if len(got) == len(pairs) else ["unjudged"] * len(pairs)

    def compare(self, shape, a, b):
        key = (shape.__name__, a)
        if key not in self.shapes:
            self.shapes[key] = shape(a)
        sa, sb = self.shapes[key], shape(b)
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
                text = f.read()
            compile(text, "x.py", "exec", dont_inherit=True)
            return ast.dump(ast.parse(text))
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

    def sitter_shape(self, path):
        r = subprocess.run([*self.ts, path], capture_output=True, timeout=60, env=self.ts_env)
        return r.stdout[3:] if r.returncode == 0 and r.stdout.startswith(b"ok\n") else None

    @staticmethod
    def toml_shape(path):
        import tomllib
        return Judges.loaded_shape(path, lambda text: tomllib.loads(text.decode("utf-8")))

    @staticmethod
    def make_shape(path):
        # The database make reads, rules and values, without running a recipe
        # or a $(shell) (SHELL is a program that does nothing); a recipe line's
        # leading blanks are the shell's to skip.
        d, name = os.path.split(path)
        r = subprocess.run(["make", "-pn", "-r", "-f", name, "--eval=__morek_none__:", "SHELL=/bin/true",
                            "__morek_none__"], cwd=d, capture_output=True, timeout=60,
                           env=dict(os.environ, LC_ALL="C", MAKEFLAGS="", MAKELEVEL=""))
        if r.returncode != 0:
            return None
        out = []
        for line in r.stdout.replace(d.encode(), b"DIR").split(b"\n"):
            if line.startswith(b"#") or not line.strip():
                continue
            out.append(b"\t" + line.lstrip(b" \t") if line.startswith(b"\t") else line)
        return b"\n".join(out)

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
        shape = {"python": self.python_shape, "json": self.json_shape, "toml": self.toml_shape,
                 "make": self.make_shape if have("make") else None,
                 **{k: self.sitter_shape for k in SITTER_GRAMMARS if self.ts},
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
    if base in NAMES:
        return NAMES[base]
    if base.startswith(("Makefile.", "makefile.")) and base.rsplit(".", 1)[1] in ("in", "am", "inc"):
        return "make"
    if "." in base[1:]:
        return EXT.get(base.rsplit(".", 1)[1])
    try:
        with open(path, "rb") as f:
            first = f.readline(200).decode("latin-1")
    except OSError:
        return None
    if first.startswith("%YAML"):
        return "yaml"
    if first.startswith("\xef\xbb\xbf"):
        first = first[3:]
    if first.startswith("#!"):
        for word, lang in (("python", "python"), ("uv run", "python"), ("ruby", "ruby"), ("perl", "perl"),
                           ("node", "js"), ("php", "php"), ("zsh", "zsh"), ("make", "make"), ("bash", "shell"),
                           ("sh", "shell")):
            if word in first:
                return lang
    return None


def copy_tree(tree, dest):
    r = subprocess.run(["git", "-C", tree, "ls-files", "-z"], capture_output=True)
    names = [n.decode("utf-8", "surrogateescape") for n in r.stdout.split(b"\0") if n] if r.returncode == 0 else None
    if not names:
        shutil.copytree(tree, dest, symlinks=True)
        return
    for n in names:
        src = os.path.join(tree, n)
        if os.path.islink(src) or not os.path.isfile(src):
            continue
        os.makedirs(os.path.dirname(os.path.join(dest, n)), exist_ok=True)
        shutil.copy2(src, os.path.join(dest, n))


def split_lines(data):
    """A text's lines, each with its LF (a CR alone ends no line here)."""
    return re.findall(b"[^\n]*\n|[^\n]+$", data)


def files_of(root):
    for dirpath, _, files in os.walk(root):
        for f in files:
            rel = os.path.relpath(os.path.join(dirpath, f), root)
            if rel != ".editorconfig":
                yield rel


def lines_changed(ta, tb):
    la, lb = split_lines(ta), split_lines(tb)
    return sum(1 for x, y in zip(la, lb) if x != y) + abs(len(la) - len(lb))


def corpus_language(rel):
    return rel.split(os.sep, 1)[0]


class Runner:
    """Runs a corpus program: what it prints and its status, or None where it cannot be run here."""

    def __init__(self, work):
        self.work = work
        self.cache = {}  # the originals', by path
        self.env = dict(os.environ, GO111MODULE="off", GOCACHE=os.path.join(work, "gocache"), MAKEFLAGS="",
                        MAKELEVEL="", LC_ALL="C", PERL_HASH_SEED="0", PYTHONHASHSEED="0")

    def steps(self, lang, path):
        d, name = os.path.split(path)
        exe = os.path.join(self.work, "program.bin")
        with open(path, "rb") as f:
            first = f.readline(200)
        if lang == "python":
            return [["python3", name]]
        if lang == "perl":
            return [["perl", name]]
        if lang == "ruby":
            return [["ruby", name]]
        if lang == "shell":
            shell = "zsh" if b"zsh" in first else "bash" if b"bash" in first or not first.startswith(b"#!") else "sh"
            return [[shell, name]] if have(shell) else None
        if lang == "js":
            return [["node", name]] if name.endswith((".js", ".mjs", ".cjs")) or "." not in name else None
        if lang == "php":
            return [["php", name]]
        if lang == "go":
            return [["go", "run", name]]
        if lang == "rust":
            return [["rustc", "--edition", "2021", "-o", exe, name], [exe]]
        if lang == "c" and name.endswith(".c"):
            return [["cc", "-w", "-o", exe, name], [exe]]
        if lang == "c" and name.endswith((".cc", ".cpp")):
            return [["c++", "-std=c++20", "-w", "-o", exe, name], [exe]]
        if lang == "java":
            return [["java", name]]
        if lang == "make":
            return [["make", "-s", "-f", name]]
        return None

    def output(self, lang, path, original=False):
        """(ran to the end with status 0, what it printed), or None."""
        if original and path in self.cache:
            return self.cache[path]
        steps = self.steps(lang, path)
        out = None
        if steps and have(steps[0][0]):
            d = os.path.dirname(path)
            for cmd in steps:
                try:
                    r = subprocess.run(cmd, cwd=d, capture_output=True, timeout=120, env=self.env)
                except subprocess.TimeoutExpired:
                    out = (False, b"timed out")
                    break
                text = (r.stdout + b"\n-- stderr --\n" + r.stderr + b"\n-- status %d" % r.returncode)
                out = (r.returncode == 0, text.replace(d.encode(), b"DIR"))
                if r.returncode != 0:
                    break
        if original:
            self.cache[path] = out
        return out

    def verdict(self, lang, a, b):
        """A verdict, and the first line of output that differs; None where the program cannot run."""
        oa = self.output(lang, a, original=True)
        if oa is None:
            return None, ""
        if not oa[0]:
            return "unjudged", ""
        ob = self.output(lang, b)
        if ob == oa:
            return "same", ""
        la, lb = oa[1].split(b"\n"), ob[1].split(b"\n")
        k = next((i for i, (x, y) in enumerate(zip(la, lb)) if x != y), min(len(la), len(lb)))
        x = la[k] if k < len(la) else b""
        y = lb[k] if k < len(lb) else b""
        return ("same" if ob == oa else "changed" if ob[0] else "broken"), f"prints {short(y)} for {short(x)}"


ORDER = ["unjudged", "same", "changed", "broken"]


def worst(*verdicts):
    """The verdict of several judges: any failure wins; a judge that cannot tell has no say."""
    judged = [v for v in verdicts if v is not None]
    return max(judged, key=ORDER.index) if judged else "unjudged"


class Corpus:
    """Judges a corpus file by its parser and by running it."""

    def __init__(self, judges, runner, orig):
        self.judges, self.runner, self.orig = judges, runner, orig
        self.seen = {}  # verdicts by original and converted text: styles often agree on a file

    def verdict(self, lang, a, b):
        with open(b, "rb") as f:
            key = (a, hashlib.sha1(f.read()).digest())
        if key not in self.seen:
            pv = self.judges.judge(lang, [(a, b)], self.orig)[0]
            rv, detail = self.runner.verdict(lang, a, b)
            self.seen[key] = worst(pv, rv), detail
        return self.seen[key]

    def first_line(self, lang, a, b, probe):
        """The first line whose conversion, with those before it, makes the difference."""
        with open(a, "rb") as f:
            ta = f.read()
        with open(b, "rb") as f:
            tb = f.read()
        key = ("line", a, hashlib.sha1(tb).digest())
        if key not in self.seen:
            self.seen[key] = self.bisect(lang, a, ta, tb, probe)
        return self.seen[key]

    def bisect(self, lang, a, ta, tb, probe):
        la, lb = split_lines(ta), split_lines(tb)
        diff = [i for i, (x, y) in enumerate(zip(la, lb)) if x != y]
        if len(la) != len(lb) or not diff:
            k = diff[0] if diff else min(len(la), len(lb))
            return k, (la[k] if k < len(la) else b""), (lb[k] if k < len(lb) else b"")
        rel = os.path.relpath(a, self.orig)
        cand = os.path.join(probe, rel)
        if not os.path.isdir(probe):
            shutil.copytree(self.orig, probe, symlinks=True)

        def fails(n):
            text = la[:]
            for i in diff[:n]:
                text[i] = lb[i]
            with open(cand, "wb") as f:
                f.write(b"".join(text))
            return self.verdict(lang, a, cand)[0] in ("changed", "broken")
        lo, hi = 1, len(diff)
        while lo < hi:
            mid = (lo + hi) // 2
            if fails(mid):
                hi = mid
            else:
                lo = mid + 1
        shutil.copy2(a, cand)
        k = diff[lo - 1]
        return k, la[k], lb[k]


def short(line, width=100):
    """A line for a table: its bytes as Python writes them, cut to width."""
    text = repr(line.rstrip(b"\n"))[1:]
    return text if len(text) <= width else text[:width - 4] + "...'"


def notes(stderr, names):
    """The files that morek left as they were with a note, by name: the note."""
    out = {}
    for line in stderr.splitlines():
        name, sep, msg = line.partition(": ")
        name = os.path.normpath(name)
        if sep and name in names and name not in out:
            out[name] = msg
    return out


def style_list(wanted):
    if wanted in ("all", ""):
        return STYLES
    by_name = {s[0]: s for s in STYLES}
    picked = []
    for part in wanted.split(","):
        part = part.strip()
        if part.isdigit() and 1 <= int(part) <= len(STYLES):
            picked.append(STYLES[int(part) - 1])
        elif part in by_name:
            picked.append(by_name[part])
        else:
            sys.exit(f"meaning.py: no style {part!r}; --list-styles names them")
    return picked


COLS = ["same", "changed", "broken", "unjudged", "unproven", "lines"]


def main():
    argv = sys.argv[1:]
    args = None
    if "--" in argv:
        cut = argv.index("--")
        argv, args = argv[:cut], argv[cut + 1:]
    ap = argparse.ArgumentParser(usage=__doc__.split("\n\n")[1])
    ap.add_argument("--morek", default=os.path.join(HERE, "..", "build", "default", "morek"))
    ap.add_argument("--text", action="store_true", help="count the lines that --lang=text would change too")
    ap.add_argument("--show", type=int, default=0, help="print up to N changed or broken files of the trees")
    ap.add_argument("--corpus", action="store_true", help="judge bench/corpus, named file by file")
    ap.add_argument("--styles", default=None, help="all, or numbers or names from --list-styles")
    ap.add_argument("--failures", action="store_true", help="list each changed or broken corpus file")
    ap.add_argument("--lines-only", action="store_true", help="judge nothing: count lines converted and files unproven")
    ap.add_argument("--list-styles", action="store_true")
    ap.add_argument("trees", nargs="*")
    opt = ap.parse_args(argv)
    if opt.list_styles:
        for k, (name, a, ec) in enumerate(STYLES, 1):
            print(f"{k:2} {name:32} morek -i {' '.join(a)}" + ("" if ec is None else
                  " (the tree's own .editorconfig)" if ec == OWN else " under: " + ec.replace("\n", "; ")))
        return
    if not opt.trees and not opt.corpus:
        sys.exit(__doc__)
    if args is not None and opt.styles is not None:
        sys.exit("meaning.py: either --styles or arguments after --")
    styles = [(" ".join(args), args, None)] if args is not None else style_list(opt.styles or "all")
    morek = os.path.abspath(opt.morek)
    trees = ([(os.path.join(HERE, "corpus"), True)] if opt.corpus else []) + [(t, False) for t in opt.trees]
    with tempfile.TemporaryDirectory() as work:
        judges = Judges(work)
        runner = Runner(work)
        rows = collections.defaultdict(lambda: collections.defaultdict(collections.Counter))
        failures = []
        shown = 0
        origs = []
        for k, (tree, corpus) in enumerate(trees):
            orig = os.path.join(work, f"orig{k}")
            if corpus:
                shutil.copytree(tree, orig, symlinks=True)
            else:
                copy_tree(tree, orig)
            origs.append(orig)
        corpus_judges = {k: Corpus(judges, runner, origs[k]) for k, (_, corpus) in enumerate(trees) if corpus}
        for style, sargs, ec in styles:
            for k, (tree, corpus) in enumerate(trees):
                orig = origs[k]
                names = sorted(files_of(orig))
                conv = os.path.join(work, "conv")
                shutil.copytree(orig, conv, symlinks=True)
                if ec:
                    with open(os.path.join(conv, ".editorconfig"), "w") as f:
                        f.write(ec)
                cmd = [morek, "-i", *sargs, *(names if corpus else ["."])]
                r = subprocess.run(cmd, cwd=conv, capture_output=True, text=True, errors="replace")
                if r.returncode not in (0, 1):
                    print(f"{tree} ({style}): morek exit {r.returncode}: {r.stderr.strip()[:300]}", file=sys.stderr)
                said = notes(r.stderr, set(names))
                by_lang = collections.defaultdict(list)
                for rel in names:
                    a, b = os.path.join(orig, rel), os.path.join(conv, rel)
                    lang = (corpus_language(rel) if corpus else language_of(a)) or "other"
                    with open(a, "rb") as fa, open(b, "rb") as fb:
                        ta, tb = fa.read(), fb.read()
                    if ta != tb:
                        by_lang[lang].append((rel, a, b, lines_changed(ta, tb)))
                    elif rel in said:
                        rows[lang][style]["unproven"] += 1
                        if corpus:
                            failures.append((rel, style, "unproven", said[rel]))
                for lang, files in by_lang.items():
                    if opt.lines_only:
                        rows[lang][style]["lines"] += sum(f[3] for f in files)
                        rows[lang][style]["files"] += len(files)
                        continue
                    if corpus:
                        cj = corpus_judges[k]
                        verdicts = [cj.verdict(lang, a, b) for _, a, b, _ in files]
                    else:
                        verdicts = [(v, "") for v in judges.judge(lang, [(a, b) for _, a, b, _ in files], orig)]
                    for (rel, a, b, lines), (v, detail) in zip(files, verdicts):
                        rows[lang][style][v] += 1
                        rows[lang][style]["lines"] += lines
                        if v in ("changed", "broken") and corpus and opt.failures:
                            n, x, y = cj.first_line(lang, a, b, os.path.join(work, "probe"))
                            failures.append((rel, style, v, f"line {n + 1}: {short(x)} -> {short(y)}"
                                             + (f"; {detail}" if detail else "")))
                        elif v in ("changed", "broken") and not corpus and shown < opt.show:
                            shown += 1
                            print(f"{v} ({style}): {tree}/{rel}", file=sys.stderr)
                if opt.text:
                    shutil.rmtree(conv)
                    shutil.copytree(orig, conv, symlinks=True)
                    if ec:
                        with open(os.path.join(conv, ".editorconfig"), "w") as f:
                            f.write(ec)
                    subprocess.run([morek, "-i", "--lang=text", *sargs, *(names if corpus else ["."])], cwd=conv,
                                   capture_output=True)
                    for rel in names:
                        a, b = os.path.join(orig, rel), os.path.join(conv, rel)
                        with open(a, "rb") as fa, open(b, "rb") as fb:
                            ta, tb = fa.read(), fb.read()
                        if ta != tb:
                            lang = (corpus_language(rel) if corpus else language_of(a)) or "other"
                            rows[lang][style]["text lines"] += lines_changed(ta, tb)
                shutil.rmtree(conv)
                shutil.rmtree(os.path.join(work, "probe"), ignore_errors=True)
            print(f"done: morek -i {' '.join(sargs)} ({style})", file=sys.stderr, flush=True)
        report(rows, styles, opt.text, [t for t, _ in trees], opt.lines_only)
        if opt.failures:
            print("\n## What changes meaning or is left unproven in the corpus\n")
            print("| file | style | verdict | first line that makes the difference |")
            print("|---|---|---|---|")
            for rel, style, v, what in failures:
                print(f"| {rel} | `{style}` | {v} | {what.replace('|', chr(92) + '|')} |")


def report(rows, styles, text, trees, lines_only):
    cols = (["files", "unproven", "lines"] if lines_only else COLS) + (["text lines"] if text else [])
    total = collections.defaultdict(collections.Counter)
    print(f"# bench/meaning.py over {', '.join(os.path.basename(t.rstrip('/')) for t in trees)}")
    for lang in sorted(rows):
        print(f"\n## {lang}\n")
        print("| style | " + " | ".join(cols) + " |")
        print("|---" * (len(cols) + 1) + "|")
        for style, _, _ in styles:
            c = rows[lang][style]
            total[style].update(c)
            print(f"| `{style}` | " + " | ".join(f"{c[x]:,}" for x in cols) + " |")
    if len(styles) > 1:
        # The lines converted, language by style, in one table: the figure to compare a later version by.
        print("\n## lines converted, by language and style\n")
        print("| language | " + " | ".join(f"`{st}`" for st, _, _ in styles) + " |")
        print("|---" * (len(styles) + 1) + "|")
        for lang in sorted(rows):
            print(f"| {lang} | " + " | ".join(f"{rows[lang][st]['lines']:,}" for st, _, _ in styles) + " |")
    print("\n## all languages\n")
    print("| style | " + " | ".join(cols) + " |")
    print("|---" * (len(cols) + 1) + "|")
    for style, _, _ in styles:
        print(f"| `{style}` | " + " | ".join(f"{total[style][x]:,}" for x in cols) + " |")


if __name__ == "__main__":
    main()
