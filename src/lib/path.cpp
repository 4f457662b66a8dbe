#include "path.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sjis.hpp"

namespace morek {

const char* findExt(const char* path) {
  const char* sep = Strrchr(path, '\\');
  // No second byte of a double-byte character is a '.', so a byte search is safe.
  return std::strrchr(sep != nullptr ? sep + 1 : path, '.');
}

int sepname(char* pattern, char* head, char* tail) {
  const char* wild = srch_wild(pattern);
  char* from = wild != nullptr ? pattern + (wild - pattern) : pattern + std::strlen(pattern);
  const char* rest = "";
  if (char* sep = Strchr(from, '\\')) {
    *sep = '\0';
    rest = sep + 1;
  }
  std::strcpy(head, pattern);
  std::strcpy(tail, rest);
  return 0;
}

namespace {

int depth(const char* name) {
  int n = 0;
  for (const char* p = name; *p != '\0';) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '\\') ++n;
    p += sjis_lead(c) && p[1] != '\0' ? 2 : 1;
  }
  return n;
}

}  // namespace

int comp_file(const void* a, const void* b) {
  const char* na = (*static_cast<const file_entry* const*>(a))->name;
  const char* nb = (*static_cast<const file_entry* const*>(b))->name;
  const int da = depth(na), db = depth(nb);
  if (da != db) return da < db ? -1 : 1;
  return StrCmp(na, nb);
}

const char* exp_tab(int tab, const char* src) {
  static char buf[EXP_TAB_COLUMNS + 1];
  int col = 0;
  auto too_long = [src] {
    std::printf("%s ... too long\n", src);
    std::exit(1);
  };
  for (const char* p = src; *p != '\0'; ++p) {
    if (*p == '\t') {
      for (int n = tab - col % tab; n > 0 && col < EXP_TAB_COLUMNS; --n) buf[col++] = ' ';
      if (col == EXP_TAB_COLUMNS) too_long();
    } else {
      if (col == EXP_TAB_COLUMNS) too_long();
      buf[col++] = *p;
    }
  }
  buf[col] = '\0';
  return buf;
}

}  // namespace morek
