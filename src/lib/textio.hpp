// Text streams as the tool's line passes expect them: input without carriage
// returns that ends at Ctrl-Z, output whose newlines go out as CR LF.
#pragma once

#include <cstddef>

namespace morek {

// Reads a file descriptor in large blocks. Every CR (0x0D) is removed and the
// first Ctrl-Z (0x1A) ends the input; every other byte, NUL included, is
// delivered as it is. The bytes read and not yet taken form the window.
class text_reader {
 public:
  static constexpr std::size_t BLOCK = 128 * 1024;
  // Zero bytes that follow the window, for readers that look ahead.
  static constexpr std::size_t PAD = 128;

  explicit text_reader(int fd) : fd_(fd) {}
  text_reader(const text_reader&) = delete;
  text_reader& operator=(const text_reader&) = delete;

  const unsigned char* window() const { return block_ + pos_; }
  std::size_t window_size() const { return end_ - pos_; }
  // Takes n bytes (n <= window_size()) from the front of the window.
  void consume(std::size_t n) { pos_ += n; }

  // Moves the window to the front of the block and reads more after it,
  // writing out the buffered output first. False when nothing more came: end
  // of input, Ctrl-Z, a read error, or a window that fills the block.
  bool read_more();

  // Copies one line into dst: at most max bytes, stopping after a newline,
  // which is kept. Returns the count; 0 at end of input or after a read error.
  std::size_t get_line(unsigned char* dst, std::size_t max);

  // True once a read failed; the input ends there.
  bool failed() const { return failed_; }

 private:
  int fd_;
  std::size_t pos_ = 0;  // start of the window in block_
  std::size_t end_ = 0;  // end of the window
  bool at_end_ = false;  // no more reads: end of file, Ctrl-Z or an error
  bool failed_ = false;
  unsigned char block_[BLOCK + PAD] = {};
};

// Buffered writer to standard output. The tool's newlines go out as CR LF.
// When the buffer must be emptied and cannot be written, "stdout: can't
// write\n" is reported and the process ends with status 1; out_flush itself
// only says whether it could write.
inline constexpr std::size_t OUT_ROOM = 256 * 1024;
extern unsigned char out_buf[OUT_ROOM];
extern std::size_t out_len;  // bytes waiting in out_buf

void out_write(const unsigned char* p, std::size_t n);  // n bytes as they are
void out_newline();                                     // CR LF

// Room for n more bytes (n <= OUT_ROOM) at the returned position; hand the
// end of what was written there to out_commit. Bytes go out as they are.
unsigned char* out_reserve_slow(std::size_t n);
inline unsigned char* out_reserve(std::size_t n) {
  return out_len + n <= OUT_ROOM ? out_buf + out_len : out_reserve_slow(n);
}
inline void out_commit(unsigned char* end) { out_len = static_cast<std::size_t>(end - out_buf); }

// Writes out what is buffered; false when the write failed (the buffered
// bytes are then dropped).
bool out_flush();
// Writes out what is buffered, or reports the failure and ends the process.
void out_drain();

}  // namespace morek
