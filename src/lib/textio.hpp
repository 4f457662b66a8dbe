// Input and output of text. The reader either applies the text layer (input
// without carriage returns that ends at Ctrl-Z) or takes the input byte for
// byte, where only the CR of a CR LF leaves the text, remembered beside it;
// from a descriptor or from memory.
// The writer buffers the output and hands it to standard output, or to a
// target the caller sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morek {

// Reads a file descriptor in large blocks; the bytes read and not yet taken
// form the window. In the text layer every CR (0x0D) is removed and the first
// Ctrl-Z (0x1A) ends the input. Byte for byte, a CR directly before an LF is
// removed and, when asked, remembered with that LF (crlf_at); every other
// byte, a lone CR, Ctrl-Z and NUL included, is delivered as it is. Where the
// output sets every line end (cr_runs), all the CRs of a run before an LF go.
class text_reader {
 public:
  static constexpr std::size_t BLOCK = 128 * 1024;
  // Zero bytes that follow the window, for readers that look ahead.
  static constexpr std::size_t PAD = 128;

  struct options {
    bool bytewise = false;     // byte for byte instead of the text layer
    bool track_crs = false;    // byte for byte: remember which LFs had a CR
    bool stop_at_nul = false;  // a NUL ends the input, and nul_seen() tells
    bool cr_runs = false;      // byte for byte: a run of CRs before an LF is all line end, not only its last
  };
  // Most CRs at the end of a read that wait for the next one to know whether
  // an LF follows them; a longer run's first ones are characters.
  static constexpr std::size_t HELD_CRS_MAX = 4096;

  text_reader(int fd, options opt) : fd_(fd), opt_(opt) {}
  text_reader(const text_reader&) = delete;
  text_reader& operator=(const text_reader&) = delete;

  // Starts over on another input.
  void reset(int fd, options opt);
  // Starts over on bytes in memory, which must stay there until the reader
  // is done with them.
  void reset(std::string_view bytes, options opt);

  const unsigned char* window() const { return block_ + pos_; }
  std::size_t window_size() const { return end_ - pos_; }
  // Takes n bytes (n <= window_size()) from the front of the window.
  void consume(std::size_t n) { pos_ += n; }

  // Moves the window to the front of the block and reads more after it,
  // writing out the buffered output first. False when nothing more came: end
  // of input, Ctrl-Z, a read error, a stop, or a window that fills the block.
  bool read_more();

  // Copies one line into dst: at most max bytes, stopping after a newline,
  // which is kept. Returns the count; 0 at end of input or after a read error.
  std::size_t get_line(unsigned char* dst, std::size_t max);

  // Whether the LF at window position i had a CR before it (track_crs only).
  bool crlf_at(std::size_t i) const {
    const std::size_t at = pos_ + i;
    return (crlf_[at / 64] >> (at % 64) & 1) != 0;
  }
  // Whether the line that get_line delivered last ended in CR LF.
  bool last_line_had_cr() const { return last_had_cr_; }

  // Ends the input here: nothing more is read.
  void stop() { at_end_ = true; }

  // True once a read failed; the input ends there. errno_value() says why.
  bool failed() const { return failed_; }
  int errno_value() const { return errno_; }
  // True once a NUL was read under stop_at_nul; the input ends there.
  bool nul_seen() const { return nul_seen_; }

 private:
  // Takes n fresh bytes at block_ + end_ into the window; returns how many
  // remain there.
  std::size_t take_text(std::size_t n);
  std::size_t take_bytes(std::size_t n);

  int fd_;
  options opt_;
  bool from_memory_ = false;
  const char* mem_ = nullptr;  // from memory: the bytes not yet read
  std::size_t mem_left_ = 0;
  std::size_t pos_ = 0;  // start of the window in block_
  std::size_t end_ = 0;  // end of the window
  bool at_end_ = false;  // no more reads: end of file, Ctrl-Z, an error or a stop
  bool failed_ = false;
  int errno_ = 0;
  bool nul_seen_ = false;
  std::size_t held_crs_ = 0;  // byte for byte: CRs that ended the last read; an LF may follow
  bool last_had_cr_ = false;  // see last_line_had_cr
  unsigned char block_[BLOCK + PAD] = {};
  // Bit i: block_[i] is an LF that had a CR before it. Zero past end_.
  std::uint64_t crlf_[BLOCK / 64 + 1] = {};
};

// Buffered writer. The text layer's newlines go out as CR LF (the converter
// writes them so). When the buffer must be emptied and cannot be written,
// "stdout: can't write\n" is reported and the process ends with status 1;
// out_flush itself only says whether it could write. Each thread has its own.
inline constexpr std::size_t OUT_ROOM = 256 * 1024;
extern constinit thread_local unsigned char out_buf[OUT_ROOM];
extern constinit thread_local std::size_t out_len;  // bytes waiting in out_buf

// Where the buffered bytes go: standard output unless set otherwise. A target
// returns false when the bytes could not be written.
using out_target_fn = bool (*)(const unsigned char* p, std::size_t n);
extern constinit thread_local out_target_fn out_target;
bool write_stdout(const unsigned char* p, std::size_t n);
// Writes all n bytes to fd, on through interruptions and short writes; false
// on a failure, with errno set.
bool write_all(int fd, const unsigned char* p, std::size_t n);

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
