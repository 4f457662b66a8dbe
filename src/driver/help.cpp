// The help texts. The table is Shift-JIS bytes; the comments show its text.
#include "help.hpp"

namespace morek {

const char* const help_table[] = {
    "\203X\203y\201[\203X\202\360\203^\203u\202\311\225\317\202\246\202\351\202\306\213\244\202\311\201A\203^"
    "\203u\202\314\222\267\202\263\202\360\225\317\202\246\202\334\202\267\201B",  // スペースをタブに変えると共に、タブの長さを変えます。
    " ",                                                                           //
    "Usage : morek [-ct] [-b<n>] <tab1> <tab2> [<file>]",  // Usage : morek [-ct] [-b<n>] <tab1> <tab2> [<file>]
    " ",                                                   //
    "Parameter:",                                          // Parameter:
    "   -c      "
    "\202\203\214\276\214\352\202\314\225\266\216\232\227\361\202\314\222\206\202\360\226\263\216\213\202\265\202\334"
    "\202\267\201B",  //    -c      ｃ言語の文字列の中を無視します。
    "           \202\261\202\352\202\315 "
    "'...'\202\334\202\275\202\315\042...\042\202\314\222\206\202\314\202\261\202\306\202\305\202\267\201B",  //            これは '...'または"..."の中のことです。
    "         "
    "\201@"
    "\202\275\202\276\202\265\203R\203\201\203\223\203g\202\314\222\206\202\360\226\263\216\213\202\265\202\334\202\267"
    "\201B",  //          　ただしコメントの中を無視します。
    "           \202\261\202\352\202\315\201A/* ... */ \202\334\202\275\202\315 "
    "//\210\310\215~\202\314\202\261\202\306\202\305\202\267\201B",  //            これは、/* ... */ または
                                                                     //            //以降のことです。
    "   -t      "
    "\210\310\215~\202\311\203X\203y\201[\203X\202\342\203^"
    "\203u\210\310\212O\202\310\202\242\217\352\215\207\201A\202\273\202\352\202\360\215\355\217\234\202\265\202\334"
    "\202\267\201B",  //    -t      以降にスペースやタブ以外ない場合、それを削除します。
    "   -b<n>   "
    "\223\374\227\315\215s\202\314\203o\203b\203t\203@\203T\203C\203Y\202\360<n>("
    "\202\275\202\276\202\265256\210\310\217\343)\202\305\216w\222\350\202\265\202\334\202\267\201B",  //    -b<n>
                                                                                                       //    入力行のバッファサイズを<n>(ただし256以上)で指定します。
    "           "
    "\202\261\202\352\202\360\217\310\227\252\202\265\202\275\217\352\215\207\202\315\201A1024(byte)"
    "\202\306\202\310\202\350\202\334\202\267\201B",  //            これを省略した場合は、1024(byte)となります。
    "   <tab1>  \225\317\212\267\221O\202\314\203^\203u\202\314\222\267\202\263\202\305\202\267\201B",  //    <tab1>
                                                                                                        //    変換前のタブの長さです。
    "   <tab2>  \225\317\212\267\214\343\202\314\203^\203u\202\314\222\267\202\263\202\305\202\267\201B",  //    <tab2>
                                                                                                           //    変換後のタブの長さです。
    "           "
    "\202\275\202\276\202\265\203^"
    "\203u\202\314\222\267\202\263\202\315\201A1\210\310\217\343\201A256\210\310\211\272\202\306\202\265\202\334\202"
    "\267\201B",  //            ただしタブの長さは、1以上、256以下とします。
    "   <file>  \223\374\227\315\203t\203@\203C\203\213\226\274",  //    <file>  入力ファイル名
    "           "
    "\202\261\202\352\202\360\217\310\227\252\202\265\202\275\217\352\215\207\202\315\201A\225W\217\200\223\374\227\315"
    "\202\251\202\347\223\307\202\335\215\236\202\334\202\352\202\334\202\267\201B",  //            これを省略した場合は、標準入力から読み込まれます。
    " ",                                                                              //
    "Version: 1.10",                                                                  // Version: 1.10
    "",
};

const char help_text[] =
    "Usage: morek [options] <tab1> <tab2> [<file>]\n"
    "       morek -i|--check|--diff [options] <tab1> <tab2> <file or directory>...\n"
    "       morek --spaces [options] <tab1> [<file>]   (and with -i or --check)\n"
    "       morek -i|--check|--diff|--show-settings --editorconfig [options] <path>...\n"
    "       morek --stdin-filename=PATH [--check|--diff] [options] <tab1> <tab2>\n"
    "Expands the tabs of each line at <tab1> columns and writes its runs of blanks\n"
    "as tabs of <tab2> columns, plus the spaces that reach the same column.\n"
    "\n"
    "  -c              leave the inside of \"...\" and '...' literals as it is\n"
    "  -t              cut the blanks at the end of every line\n"
    "  -b<n>           read lines into <n> bytes, at least 256 (default 4096)\n"
    "  -i, --in-place  replace each <file> with its conversion, where it differs\n"
    "  --check         name each <file> whose conversion differs; write nothing\n"
    "  --format=FORMAT with --check: what a file that would change shows: its name\n"
    "                  (names, the default), or a finding for each line that\n"
    "                  would change, as gcc, github (workflow commands), json\n"
    "                  (JSON Lines), sarif (SARIF 2.1.0) or checkstyle (XML)\n"
    "  --diff          print a unified diff of each <file> whose conversion differs\n"
    "  --color=WHEN    colour --diff: auto (a terminal, unless NO_COLOR), always, never\n"
    "  -j N, --jobs=N  with -i, --check and --diff, work on N files at once\n"
    "                  (default: one a processor); all is written as with -j 1\n"
    "  --changed[=REF] with -i, --check and --diff, only the files that differ from\n"
    "                  git's REF (default HEAD), staged, unstaged or untracked\n"
    "  --changed-lines[=REF]  and in them, only the lines that git's diff from REF\n"
    "                  adds or changes (a new or untracked file: every line)\n"
    "  --include=GLOB  in directories, only files whose name matches\n"
    "  --exclude=GLOB  in directories, not files whose name or path matches\n"
    "  --exclude-dir=GLOB  in directories, not directories that match\n"
    "  --all-files     in directories, also files tools write (lock files, minified\n"
    "                  assets) and fetched dependencies (node_modules and such)\n"
    "  --editorconfig  no widths: each file by the .editorconfig files that govern\n"
    "                  it (indent_style, tab_width, indent_size, end_of_line,\n"
    "                  trim_trailing_whitespace, insert_final_newline, charset);\n"
    "                  a file they give nothing is left alone\n"
    "  --show-settings with --editorconfig: print each file's settings (and the\n"
    "                  number of regions left alone, where there are some)\n"
    "  --stdin-filename=PATH  convert standard input to standard output as -i\n"
    "                  would convert the file PATH (which need not exist): its\n"
    "                  language, kind and .editorconfig; input left as it is\n"
    "                  comes back as it came. Not with -i, nor with files\n"
    "  --spaces        write no tab: every blank becomes spaces at <tab1>\n"
    "  --indent-only   convert only the blanks that indent a line; keep the rest,\n"
    "                  each tab there as the spaces it stood for unless the\n"
    "                  widths agree\n"
    "  --lang=NAME     keep the literals of a language (strings, raw strings,\n"
    "                  here-documents, regular expressions, docstrings) byte for\n"
    "                  byte: c (C, C++, Objective-C), java, kotlin (and Scala,\n"
    "                  Groovy), csharp, swift, dart, js (and JSX, TSX), ts\n"
    "                  (TypeScript), go, rust, php, python, shell, ruby, perl, yaml,\n"
    "                  json (and JSONC, JSON5), toml;\n"
    "                  text: none; auto (the default of -i, --check and --diff):\n"
    "                  each file's own, by its name or #! line. The filter reads\n"
    "                  text unless it is given, and then writes its input as it\n"
    "                  came where the conversion would change what it means\n"
    "  --utf8          the input is UTF-8: count characters by display width\n"
    "                  (the default of -i, --check and --diff)\n"
    "  --sjis          the input is Shift-JIS (the filter's default)\n"
    "  --latin1        every byte is a character of one column (Latin-1 and such)\n"
    "  --eol=crlf      take the input byte for byte; end every line with CR LF\n"
    "  --eol=lf        take the input byte for byte; end every line with LF\n"
    "  --eol=keep      take the input byte for byte; end each line as it came\n"
    "  --help          print this help and exit\n"
    "  --version       print the version and exit\n"
    "  -usage          print the help table in Japanese (Shift-JIS); exit status 1\n"
    "  --              end the options: what follows are widths and files\n"
    "  <tab1> <tab2>   the input and output tab widths, 1 to 256\n"
    "  <file>          the input; standard input when it is left out\n"
    "\n"
    "Without --eol, CRs are dropped, a Ctrl-Z byte ends the input, and every line\n"
    "ends in CR LF. -i, --check and --diff keep line ends unless --eol says\n"
    "otherwise, convert lines of any length whole, keep a makefile line's first\n"
    "tab, and leave as it is, with a note, a file whose conversion would change\n"
    "what it means (a literal, a Python block, a tab in YAML's indentation).\n"
    "A directory stands for the files git lists under it, or else all files under\n"
    "it, less patches, tab-separated data, binary and UTF-16 files, makefiles\n"
    "under --spaces or YAML files without it, and (unless --all-files) files\n"
    "that tools write.\n"
    "In -i, --check, --diff and --stdin-filename, the lines from one that holds\n"
    "\"morek: off\" to the next that holds \"morek: on\" (or to the end) are left\n"
    "as they are, unless the marker is inside a literal; the filter has none.\n"
    "\n"
    "Exit status: 0 when done; 1 on an error, or when --check or --diff finds a\n"
    "file to change; 2 when -i, --check, --diff or --stdin-filename could not\n"
    "convert a file, or was used wrongly.\n";

}  // namespace morek
