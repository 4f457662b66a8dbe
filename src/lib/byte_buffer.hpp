// Bytes in memory that grow as they come, where running out of memory is an
// answer (false, errno ENOMEM) and not the end of the process: a file too
// large for memory fails alone.
#pragma once

#include <cstddef>
#include <string_view>

namespace morek {

class byte_buffer {
 public:
  byte_buffer() = default;
  byte_buffer(const byte_buffer&) = delete;
  byte_buffer& operator=(const byte_buffer&) = delete;
  byte_buffer(byte_buffer&& o) noexcept;
  byte_buffer& operator=(byte_buffer&& o) noexcept;
  ~byte_buffer();

  // Room for n bytes in all; false when it cannot be had.
  bool reserve(std::size_t n);
  // Appends n bytes; false, with nothing appended, when memory cannot be had.
  bool append(const void* p, std::size_t n);
  bool append(std::string_view s) { return append(s.data(), s.size()); }
  // Keeps the first n bytes (n <= size()).
  void cut(std::size_t n) { size_ = n; }
  // Frees the bytes.
  void clear();

  std::string_view view() const { return {p_ == nullptr ? "" : p_, size_}; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // Appends what the descriptor fd has to read: its first size bytes, or,
  // when size is 0 (a size that a file's status does not give), up to its
  // end. Fewer where it ends before. False, with errno set (ENOMEM when
  // memory ran out), when a read fails.
  bool read_from(int fd, std::size_t size);

 private:
  char* p_ = nullptr;
  std::size_t size_ = 0;
  std::size_t room_ = 0;
};

}  // namespace morek
