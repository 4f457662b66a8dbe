#include "textio.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "errmsg.hpp"
#include "simd.hpp"

namespace morek {

// ---- input -------------------------------------------------------------

namespace {

thread_local unsigned char scratch[text_reader::BLOCK + 16];

// Removes CRs from [from, to), which starts with one, and returns the new
// end: every CR in the text layer; byte for byte only a CR directly before an
// LF (Runs: every CR of a run that an LF ends), and then, when bits is set,
// the LF's new place (counted from base) gets its bit there.
template <bool Bytewise, bool Runs = false>
unsigned char* squeeze_crs(unsigned char* from, unsigned char* to, const unsigned char* base, std::uint64_t* bits) {
  const auto len = static_cast<std::size_t>(to - from);
  std::memcpy(scratch, from, len);
  const unsigned char* in = scratch;
  const unsigned char* const stop = scratch + len;
  unsigned char* out = from;
  auto mark_lf = [&](const unsigned char* at) {
    if (bits != nullptr) {
      const auto i = static_cast<std::size_t>(at - base);
      bits[i / 64] |= std::uint64_t{1} << (i % 64);
    }
  };
#if defined(MOREK_SSE2)
  // 16 bytes at a time: store them all, keep those before the first CR, and
  // the CR too where it stays. The byte after the 16 must be there to look at.
  const __m128i cr = _mm_set1_epi8('\r');
  while (stop - in > 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    const auto m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
    if (m == 0) {
      in += 16;
      out += 16;
      continue;
    }
    const auto k = static_cast<std::size_t>(__builtin_ctz(m));
    if constexpr (Runs) {
      // The run, as a whole: line end before an LF, characters elsewhere.
      std::size_t end = k + 1;
      while (in + end < stop && in[end] == '\r') ++end;
      const bool drop = in + end < stop && in[end] == '\n';
      if (drop) mark_lf(out + k);
      if (!drop) std::memcpy(out + k, in + k, end - k);
      out += drop ? k : end;
      in += end;
      continue;
    }
    const bool drop = !Bytewise || in[k + 1] == '\n';
    if (Bytewise && drop) mark_lf(out + k);
    in += k + 1;
    out += drop ? k : k + 1;
  }
#endif
  for (; in < stop; ++in) {
    if (*in == '\r') {
      if (!Bytewise) continue;
      const unsigned char* end = in + 1;
      if constexpr (Runs)
        while (end < stop && *end == '\r') ++end;
      if (end < stop && *end == '\n') {
        mark_lf(out);
        in = end - 1;
        continue;
      }
    }
    *out++ = *in;
  }
  return out;
}

// Drops the first by bits of bits[0, words), moving the rest down.
void shift_down(std::uint64_t* bits, std::size_t words, std::size_t by) {
  const std::size_t skip = by / 64;
  const unsigned shift = by % 64;
  for (std::size_t k = 0; k < words; ++k) {
    const std::size_t from = k + skip;
    std::uint64_t v = from < words ? bits[from] >> shift : 0;
    if (shift != 0 && from + 1 < words) v |= bits[from + 1] << (64 - shift);
    bits[k] = v;
  }
}

}  // namespace

void text_reader::reset(int fd, options opt) {
  // Bits are set only inside the window.
  std::memset(crlf_, 0, (end_ / 64 + 1) * sizeof crlf_[0]);
  fd_ = fd;
  opt_ = opt;
  from_memory_ = false;
  mem_ = nullptr;
  mem_left_ = 0;
  pos_ = end_ = 0;
  at_end_ = failed_ = nul_seen_ = last_had_cr_ = false;
  held_crs_ = 0;
  errno_ = 0;
}

void text_reader::reset(std::string_view bytes, options opt) {
  reset(-1, opt);
  from_memory_ = true;
  mem_ = bytes.data();
  mem_left_ = bytes.size();
}

std::size_t text_reader::take_text(std::size_t n) {
  unsigned char* const fresh = block_ + end_;
  if (auto* z = static_cast<unsigned char*>(std::memchr(fresh, 0x1A, n))) {
    n = static_cast<std::size_t>(z - fresh);
    at_end_ = true;
  }
  if (auto* cr = static_cast<unsigned char*>(std::memchr(fresh, '\r', n)))
    n = static_cast<std::size_t>(squeeze_crs<false>(cr, fresh + n, block_, nullptr) - fresh);
  return n;
}

std::size_t text_reader::take_bytes(std::size_t n) {
  unsigned char* const fresh = block_ + end_;
  if (opt_.stop_at_nul && std::memchr(fresh, '\0', n) != nullptr) {
    nul_seen_ = true;
    at_end_ = true;
  }
  // A CR that ends the read may be the first half of a CR LF: it waits for
  // the next read, which puts it back in front of what comes; so does a whole
  // run of them where runs are line ends.
  const std::size_t most = opt_.cr_runs ? HELD_CRS_MAX : 1;
  while (!at_end_ && n > 0 && fresh[n - 1] == '\r' && held_crs_ < most) {
    ++held_crs_;
    --n;
  }
  if (auto* cr = static_cast<unsigned char*>(std::memchr(fresh, '\r', n))) {
    std::uint64_t* const bits = opt_.track_crs ? crlf_ : nullptr;
    n = static_cast<std::size_t>(
        (opt_.cr_runs ? squeeze_crs<true, true>(cr, fresh + n, block_, bits) : squeeze_crs<true>(cr, fresh + n, block_, bits)) -
        fresh);
  }
  return n;
}

bool text_reader::read_more() {
  // What was converted so far goes out before the wait for more input, so
  // that a pipeline sees lines as they come.
  if (out_len > 0) out_drain();
  std::memmove(block_, block_ + pos_, end_ - pos_);
  if (opt_.track_crs && pos_ > 0) shift_down(crlf_, std::size(crlf_), pos_);
  end_ -= pos_;
  pos_ = 0;
  while (!at_end_ && end_ + held_crs_ < BLOCK) {
    // Held CRs go back in front of the fresh bytes.
    const std::size_t held = held_crs_;
    std::memset(block_ + end_, '\r', held);
    held_crs_ = 0;
    ssize_t got;
    if (from_memory_) {
      const std::size_t k = mem_left_ < BLOCK - end_ - held ? mem_left_ : BLOCK - end_ - held;
      if (k > 0) std::memcpy(block_ + end_ + held, mem_, k);
      mem_ += k;
      mem_left_ -= k;
      got = static_cast<ssize_t>(k);
    } else {
      do {
        got = ::read(fd_, block_ + end_ + held, BLOCK - end_ - held);
      } while (got < 0 && errno == EINTR);
    }
    if (got < 0) {
      failed_ = true;
      errno_ = errno;
    }
    if (got <= 0) at_end_ = true;
    const std::size_t fresh = held + static_cast<std::size_t>(got > 0 ? got : 0);
    const std::size_t n = opt_.bytewise ? take_bytes(fresh) : take_text(fresh);
    end_ += n;
    std::memset(block_ + end_, 0, PAD);
    if (n > 0) return true;  // a block of only CRs brings nothing: read on
  }
  return false;
}

std::size_t text_reader::get_line(unsigned char* dst, std::size_t max) {
  std::size_t got = 0;
  last_had_cr_ = false;
  while (got < max) {
    if (pos_ == end_ && !read_more()) break;
    std::size_t take = end_ - pos_;
    if (take > max - got) take = max - got;
    const unsigned char* from = block_ + pos_;
    bool line_end = false;
    if (const void* nl = std::memchr(from, '\n', take)) {
      take = static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - from) + 1;
      line_end = true;
      last_had_cr_ = opt_.track_crs && crlf_at(take - 1);
    }
    std::memcpy(dst + got, from, take);
    got += take;
    pos_ += take;
    if (line_end) break;
  }
  return got;
}

// ---- output ------------------------------------------------------------

constinit thread_local unsigned char out_buf[OUT_ROOM];
constinit thread_local std::size_t out_len = 0;
constinit thread_local out_target_fn out_target = write_stdout;

bool write_all(int fd, const unsigned char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool write_stdout(const unsigned char* p, std::size_t n) { return write_all(STDOUT_FILENO, p, n); }

namespace {

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
  const bool ok = out_target(out_buf, out_len);
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
