// raw strings of every prefix, spanning lines, with delimiters
#include <cstdio>
int main() {
    const char *a = R"(raw   "quoted"  	)";
    const char *b = R"xy(not the end )"   only  )xy";
    const char *c = (const char *)u8R"(u8 raw
    second   line   
	tab line)";
    const wchar_t *d = LR"(wide   raw)";
    const char16_t *e = uR"(u   raw)";
    const char32_t *f = UR"(U   raw)";
    std::printf("[%s] [%s] [%s] [%ls] [%d %d]\n", a, b, c, d, (int)e[3], (int)f[3]);
    const char *g = "after   raw  strings";
    std::printf("[%s]\n", g);
}
