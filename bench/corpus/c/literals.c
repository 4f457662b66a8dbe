/* strings, characters, continuations and comments with quotes in them ' " */
#include <stdio.h>
#define GREETING "macro   string  "
#define CH '"'
int main(void) {
    const char *a = "escaped \"   quote	";
    const char *b = "backslash-newline \
    continued   string";
    char c = '\'';   char d = CH;   // a comment's quote: don't
    const char *e = "a"  "   concatenated" /* ' */ "  parts";
    const char *f = "trigraph-like ??/ stays   ";
    printf("[%s] [%s] [%s] [%c] [%c] [%s] [%s]\n", GREETING, a, b, c, d, e, f);
    int x = 10 / 2 /* / */ / 5; const char *g = "after   division";
    printf("[%d] [%s]\n", x, g);
    return 0;
}
