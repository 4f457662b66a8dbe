#include "utf8.hpp"

#include <utf8proc.h>

namespace morek {

int utf8_width(char32_t cp) {
  if (cp < 0xA0) return 1;
  return utf8proc_charwidth(static_cast<utf8proc_int32_t>(cp));
}

}  // namespace morek
