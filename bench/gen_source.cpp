// Writes realistic source text for the benchmark, the same bytes for the same
// seed: C and C++ like code with tab and space indentation, aligned comments,
// literals holding blanks and tabs, block and line comments, some Shift-JIS
// lines, and LF or CR LF line ends. Every line is shorter than 511 bytes.
// With --utf8 the non-ASCII text is UTF-8 instead, on about a fifth of the
// lines: CJK, accented and emoji words in comments and literals.
//
// With --tree DIR every four generated "files" become a file of its own
// instead, DIR/NNN/fNNNNN.c, a hundred to a folder: some 20 KB each, as the
// headers of a system include tree; --units N puts N in each instead of four
// (one is some 5 KB), and --files N stops after N files.
//
// usage: gen_source <megabytes> [seed] [--utf8] [--tree DIR [--units N] [--files N]]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// xorshift64*: the same sequence on every platform, unlike std distributions.
struct rng {
  std::uint64_t s;
  std::uint64_t next() {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return s * 2685821657736338717ULL;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  bool chance(int percent) { return below(100) < percent; }
};

const char* const idents[] = {"count", "i",     "buf",    "len", "result", "node", "value", "p",    "table", "offset",
                              "size",  "flags", "status", "ctx", "item",   "next", "prev",  "data", "key",   "n"};
const char* const types[] = {"int",    "char *",        "size_t",       "unsigned", "long",
                             "double", "struct node *", "const char *", "uint32_t", "bool"};
const char* const sjis_words[] = {"\x83\x65\x83\x58\x83\x67", "\x95\x5c\x8e\xa6",
                                  "\x83\x5c\x81\x5b\x83\x58", "\x8f\x88\x97\x9d",
                                  "\x8f\x89\x8a\xfa\x89\xbb", "\x83\x6f\x83\x62\x83\x74\x83\x40"};

const char* const utf8_words[] = {
    "\xe5\x87\xa6\xe7\x90\x86",                  // 処理
    "\xe5\x88\x9d\xe6\x9c\x9f\xe5\x8c\x96",      // 初期化
    "\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf",      // データ
    "\xea\xb0\x92",                              // 값
    "caf\xc3\xa9",                             // café
    "na\xc3\xafve",                            // naïve
    "Gr\xc3\xb6\xc3\x9f" "e",                    // Größe
    "\xe2\x80\x94",                              // —
    "\xf0\x9f\x9a\x80",                          // 🚀
    "\xe2\x9c\x85",                              // ✅
};

struct writer {
  rng r;
  bool utf8 = false;  // UTF-8 words instead of Shift-JIS ones
  bool crlf = false;
  std::string line;

  const char* ident() { return idents[r.below(20)]; }
  // A non-ASCII word, as the text is encoded.
  const char* word() { return utf8 ? utf8_words[r.below(10)] : sjis_words[r.below(6)]; }
  void utf8_phrase() {
    const int words = 1 + r.below(3);
    for (int w = 0; w < words; ++w) {
      if (w) line += ' ';
      line += utf8_words[r.below(10)];
    }
  }

  void indent(int depth) {
    if (r.chance(70)) {
      line.append(static_cast<std::size_t>(depth), '\t');
    } else {
      line.append(static_cast<std::size_t>(depth * (r.chance(50) ? 4 : 2)), ' ');
    }
  }

  // Display column of the line's end, tabs at width 8.
  std::size_t column() const {
    std::size_t col = 0;
    for (char c : line) col = c == '\t' ? (col / 8 + 1) * 8 : col + 1;
    return col;
  }

  // Aligns to col with tabs or with spaces; always at least one blank.
  void pad_to(std::size_t col) {
    const bool tabs = r.chance(50);
    do {
      line += tabs && (column() / 8 + 1) * 8 <= col ? '\t' : ' ';
    } while (column() < col);
  }

  void literal() {
    line += '"';
    const int words = 1 + r.below(4);
    for (int w = 0; w < words; ++w) {
      if (w) line += r.chance(20) ? "\\t" : (r.chance(15) ? "\t" : (r.chance(20) ? "    " : " "));
      line += ident();
    }
    if (r.chance(30)) line += "\\n";
    line += '"';
  }

  void comment() {
    if (r.chance(50)) {
      line += "/* ";
      line += ident();
      line += r.chance(20) ? " don't " : " the ";
      line += ident();
      line += " */";
    } else {
      line += "// ";
      if (r.chance(15)) line += word();
      line += ident();
      line += " is ";
      line += ident();
    }
  }

  void statement(int depth) {
    indent(depth);
    switch (r.below(7)) {
      case 0:
        line += types[r.below(10)];
        line += r.chance(40) ? "\t" : "        ";
        line += ident();
        line += " = ";
        line += std::to_string(r.below(1000));
        line += ';';
        break;
      case 1:
        line += "printf(";
        literal();
        line += ", ";
        line += ident();
        line += ");";
        break;
      case 2:
        line += "if (";
        line += ident();
        line += " > ";
        line += ident();
        line += ") {";
        break;
      case 3:
        line += ident();
        line += "->";
        line += ident();
        line += " = '";
        line += r.chance(20) ? "\\''" : "x'";
        line += ';';
        break;
      case 4:
        line += "return ";
        line += ident();
        line += ';';
        break;
      case 5:
        line += "for (";
        line += ident();
        line += " = 0; ";
        line += ident();
        line += " < 10; ++";
        line += ident();
        line += ") {";
        break;
      default:
        line += ident();
        line += "(";
        line += ident();
        line += ", ";
        line += ident();
        line += ");";
        break;
    }
    if (utf8 && r.chance(20)) {
      // About a fifth of the lines: a comment in other scripts.
      pad_to(40 + static_cast<std::size_t>(r.below(3)) * 8);
      const bool block = r.chance(50);
      line += block ? "/* " : "// ";
      utf8_phrase();
      if (block) line += " */";
    } else if (r.chance(35)) {
      pad_to(40 + static_cast<std::size_t>(r.below(3)) * 8);
      comment();
    }
    if (r.chance(5)) line += r.chance(50) ? "   " : "\t";  // trailing blanks
  }

  void emit_line(std::string& out) {
    out += line;
    out += crlf ? "\r\n" : "\n";
    line.clear();
  }
  // A line of fixed text.
  void emit_line(std::string& out, const char* text) {
    out += text;
    out += crlf ? "\r\n" : "\n";
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: gen_source <megabytes> [seed] [--utf8] [--tree DIR [--units N] [--files N]]\n", stderr);
    return 2;
  }
  const std::size_t want = static_cast<std::size_t>(std::atol(argv[1])) * 1000 * 1000;
  writer w;
  w.r.s = 0x9E3779B97F4A7C15ULL;
  std::string tree;
  int units = 4;
  long files = -1;
  for (int a = 2; a < argc; ++a) {
    if (std::string(argv[a]) == "--utf8")
      w.utf8 = true;
    else if (std::string(argv[a]) == "--tree" && a + 1 < argc)
      tree = argv[++a];
    else if (std::string(argv[a]) == "--units" && a + 1 < argc)
      units = std::max(1, std::atoi(argv[++a]));
    else if (std::string(argv[a]) == "--files" && a + 1 < argc)
      files = std::atol(argv[++a]);
    else
      w.r.s = std::strtoull(argv[a], nullptr, 10) | 1;
  }
  std::string out;
  std::size_t total = 0;
  for (int unit = 0; total < want; ++unit) {
    // One "file": a block comment header, then functions.
    w.crlf = w.r.chance(30);
    w.emit_line(out, "/*");
    w.line = " * ";
    w.line += w.word();
    w.line += " generated";
    w.emit_line(out);
    w.emit_line(out, " */");
    const int functions = 3 + w.r.below(10);
    for (int f = 0; f < functions; ++f) {
      w.line = "static int ";
      w.line += w.ident();
      w.line += "(void)";
      w.emit_line(out);
      w.emit_line(out, "{");
      const int statements = 4 + w.r.below(30);
      for (int s = 0; s < statements; ++s) {
        w.statement(1 + w.r.below(4));
        w.emit_line(out);
      }
      w.emit_line(out, "}");
      w.emit_line(out);
    }
    if (tree.empty()) {
      std::fwrite(out.data(), 1, out.size(), stdout);
    } else {
      const bool last = total + out.size() >= want;
      if (unit % units != units - 1 && !last) continue;
      const int file = unit / units;
      const std::string dir = tree + "/" + std::to_string(file / 100);
      std::filesystem::create_directories(dir);
      const std::string path = dir + "/f" + std::to_string(file) + ".c";
      std::FILE* f = std::fopen(path.c_str(), "wb");
      if (f == nullptr || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(path.c_str());
        return 1;
      }
    }
    total += out.size();
    out.clear();
    if (!tree.empty() && unit / units + 1 == files) break;
  }
  return 0;
}
