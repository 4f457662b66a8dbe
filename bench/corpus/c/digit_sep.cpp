// digit separators are not character literals, however many there are
#include <cstdio>
int main() {
    long a = 1'1'1'1;   const char *s = "after   separators ' ";
    long b = 0x1'F'F;   const char *t = "hex   '  sep";
    long c = 1'000'000; char q = '\'';
    std::printf("[%ld] [%s] [%ld] [%s] [%ld] [%c]\n", a, s, b, t, c, q);
    const char *u = "later   line  	";
    std::printf("[%s]\n", u);
}
