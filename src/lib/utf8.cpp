#include "utf8.hpp"

#include <utf8proc.h>

namespace morek::detail {

bool bmp_ready = false;
unsigned char bmp_width[0x10000];

int width_from_utf8proc(char32_t cp) {
  if (cp < 0xA0) return 1;
  return utf8proc_charwidth(static_cast<utf8proc_int32_t>(cp));
}

void fill_bmp_widths() {
  for (char32_t cp = 0; cp < 0x10000; ++cp) bmp_width[cp] = static_cast<unsigned char>(width_from_utf8proc(cp));
  bmp_ready = true;
}

}  // namespace morek::detail
