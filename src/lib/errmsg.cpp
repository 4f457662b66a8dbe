#include "errmsg.hpp"

#include <cstdint>
#include <cstring>

#include "sjis.hpp"

namespace morek {

std::FILE* errfp = nullptr;
int errmsg_output_flg = 0;

namespace {

char msg_buf[ERRMSG_SIZE];

// Longest prefix of s, at most limit bytes, that does not end inside a
// double-byte character.
std::size_t whole_chars(const char* s, std::size_t limit) {
  std::size_t i = 0;
  while (i < limit) {
    const std::size_t step = (sjis_lead(static_cast<unsigned char>(s[i])) && s[i + 1] != '\0') ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

// Writes one expansion of fmt. With out null it only measures; string_budget
// caps the bytes that all %s texts together may contribute.
struct expansion {
  std::size_t length = 0;        // bytes the expansion has
  std::size_t string_bytes = 0;  // of which come from %s arguments
};

expansion expand(const char* fmt, std::va_list ap, char* out, std::size_t out_cap, std::size_t string_budget) {
  expansion e;
  auto put = [&](const char* p, std::size_t n) {
    if (out != nullptr) {
      const std::size_t room = e.length < out_cap ? out_cap - e.length : 0;
      std::memcpy(out + e.length, p, n < room ? n : room);
    }
    e.length += n;
  };
  char num[64];
  for (const char* f = fmt; *f != '\0'; ++f) {
    if (*f != '%') {
      put(f, 1);
      continue;
    }
    const char conv = f[1];
    if (conv == '\0') {  // a lone '%' ends the format; no argument is taken
      put("?", 1);
      break;
    }
    ++f;
    switch (conv) {
      case 'c': {
        const char c = static_cast<char>(va_arg(ap, int));
        put(&c, 1);
        break;
      }
      case 'd':
        put(num, static_cast<std::size_t>(std::snprintf(num, sizeof num, "%d", va_arg(ap, int))));
        break;
      case 'x':
        put(num, static_cast<std::size_t>(std::snprintf(num, sizeof num, "%x", va_arg(ap, unsigned))));
        break;
      case 'f': {
        // A double can print hundreds of digits; the measure must be exact.
        const double v = va_arg(ap, double);
        const int n = std::snprintf(nullptr, 0, "%f", v);
        if (n < static_cast<int>(sizeof num)) {
          std::snprintf(num, sizeof num, "%f", v);
          put(num, static_cast<std::size_t>(n));
        } else {
          char big[400];  // DBL_MAX prints 316 characters with "%f"
          std::snprintf(big, sizeof big, "%f", v);
          put(big, static_cast<std::size_t>(n));
        }
        break;
      }
      case 's': {
        const char* s = va_arg(ap, const char*);
        std::size_t n = std::strlen(s);
        if (n > string_budget) n = whole_chars(s, string_budget);
        string_budget -= n;
        e.string_bytes += n;
        put(s, n);
        break;
      }
      default: {
        (void)va_arg(ap, int);
        const char unknown[2] = {'?', conv};
        put(unknown, 2);
        break;
      }
    }
  }
  return e;
}

}  // namespace

char* err_edit(const char* fmt, std::va_list ap) {
  constexpr std::size_t text_cap = ERRMSG_SIZE - 1;
  std::va_list measure;
  va_copy(measure, ap);
  const expansion whole = expand(fmt, measure, nullptr, 0, SIZE_MAX);
  va_end(measure);

  std::size_t budget = SIZE_MAX;
  if (whole.length > text_cap) {
    // Cut the quoted texts, not the format's own words.
    const std::size_t excess = whole.length - text_cap;
    budget = whole.string_bytes > excess ? whole.string_bytes - excess : 0;
  }
  const expansion written = expand(fmt, ap, msg_buf, text_cap, budget);
  msg_buf[written.length < text_cap ? written.length : text_cap] = '\0';
  return msg_buf;
}

void errmsg(const char* fmt, ...) {
  std::va_list ap;
  va_start(ap, fmt);
  const char* msg = err_edit(fmt, ap);
  va_end(ap);
  std::fprintf(errfp == ERRFP_STDOUT ? stdout : stderr, "%s", msg);
  errmsg_output_flg = 1;
}

void errmsg1(const char* fmt, ...) {
  std::va_list ap;
  va_start(ap, fmt);
  const char* msg = err_edit(fmt, ap);
  va_end(ap);
  std::FILE* to = errfp == ERRFP_STDOUT ? stdout : errfp != nullptr ? errfp : stderr;
  std::fprintf(to, "%s", msg);
}

}  // namespace morek
