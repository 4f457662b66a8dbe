#include "textio.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "errmsg.hpp"

namespace morek {

// ---- input -------------------------------------------------------------

namespace {

unsigned char scratch[text_reader::BLOCK + 16];

// Removes the CRs from [from, to), which starts with one; returns the new end.
unsigned char* squeeze_crs(unsigned char* from, unsigned char* to) {
  const auto len = static_cast<std::size_t>(to - from);
  std::memcpy(scratch, from, len);
  const unsigned char* in = scratch;
  const unsigned char* const stop = scratch + len;
  unsigned char* out = from;
#if defined(__SSE2__)
  // 16 bytes at a time: store them all, keep those before the first CR.
  const __m128i cr = _mm_set1_epi8('\r');
  while (stop - in >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    const auto m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
    if (m == 0) {
      in += 16;
      out += 16;
    } else {
      const auto k = static_cast<std::size_t>(__builtin_ctz(m));
      in += k + 1;
      out += k;
    }
  }
#endif
  for (; in < stop; ++in)
    if (*in != '\r') *out++ = *in;
  return out;
}

}  // namespace

bool text_reader::read_more() {
  // What was converted so far goes out before the wait for more input, so
  // that a pipeline sees lines as they come.
  if (out_len > 0) out_drain();
  std::memmove(block_, block_ + pos_, end_ - pos_);
  end_ -= pos_;
  pos_ = 0;
  while (!at_end_ && end_ < BLOCK) {
    unsigned char* const fresh = block_ + end_;
    ssize_t got;
    do {
      got = ::read(fd_, fresh, BLOCK - end_);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      at_end_ = true;
      failed_ = got < 0;
      break;
    }
    auto n = static_cast<std::size_t>(got);
    if (auto* z = static_cast<unsigned char*>(std::memchr(fresh, 0x1A, n))) {
      n = static_cast<std::size_t>(z - fresh);
      at_end_ = true;
    }
    if (auto* cr = static_cast<unsigned char*>(std::memchr(fresh, '\r', n)))
      n = static_cast<std::size_t>(squeeze_crs(cr, fresh + n) - fresh);
    end_ += n;
    std::memset(block_ + end_, 0, PAD);
    if (n > 0) return true;  // a block of only CRs brings nothing: read on
  }
  return false;
}

std::size_t text_reader::get_line(unsigned char* dst, std::size_t max) {
  std::size_t got = 0;
  while (got < max) {
    if (pos_ == end_ && !read_more()) break;
    std::size_t take = end_ - pos_;
    if (take > max - got) take = max - got;
    const unsigned char* from = block_ + pos_;
    bool line_end = false;
    if (const void* nl = std::memchr(from, '\n', take)) {
      take = static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - from) + 1;
      line_end = true;
    }
    std::memcpy(dst + got, from, take);
    got += take;
    pos_ += take;
    if (line_end) break;
  }
  return got;
}

// ---- output ------------------------------------------------------------

unsigned char out_buf[OUT_ROOM];
std::size_t out_len = 0;

namespace {

bool write_all(const unsigned char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(STDOUT_FILENO, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Makes room for n more bytes (n <= OUT_ROOM).
inline void reserve(std::size_t n) {
  if (out_len + n > OUT_ROOM) out_drain();
}

}  // namespace

void out_drain() {
  if (!out_flush()) {
    errmsg("stdout: can't write\n");
    std::exit(1);
  }
}

bool out_flush() {
  const bool ok = write_all(out_buf, out_len);
  out_len = 0;
  return ok;
}

void out_write(const unsigned char* p, std::size_t n) {
  while (n > 0) {
    const std::size_t k = n < OUT_ROOM ? n : OUT_ROOM;
    reserve(k);
    std::memcpy(out_buf + out_len, p, k);
    out_len += k;
    p += k;
    n -= k;
  }
}

void out_newline() {
  reserve(2);
  out_buf[out_len++] = '\r';
  out_buf[out_len++] = '\n';
}

unsigned char* out_reserve_slow(std::size_t n) {
  reserve(n);
  return out_buf + out_len;
}

}  // namespace morek
