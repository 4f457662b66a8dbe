#include "byte_buffer.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace morek {

byte_buffer::byte_buffer(byte_buffer&& o) noexcept
    : p_(std::exchange(o.p_, nullptr)), size_(std::exchange(o.size_, 0)), room_(std::exchange(o.room_, 0)) {}

byte_buffer& byte_buffer::operator=(byte_buffer&& o) noexcept {
  if (this != &o) {
    std::free(p_);
    p_ = std::exchange(o.p_, nullptr);
    size_ = std::exchange(o.size_, 0);
    room_ = std::exchange(o.room_, 0);
  }
  return *this;
}

byte_buffer::~byte_buffer() { std::free(p_); }

void byte_buffer::clear() {
  std::free(p_);
  p_ = nullptr;
  size_ = room_ = 0;
}

bool byte_buffer::reserve(std::size_t n) {
  if (n <= room_) return true;
  void* q = std::realloc(p_, n);
  if (q == nullptr) {
    errno = ENOMEM;
    return false;
  }
  p_ = static_cast<char*>(q);
  room_ = n;
  return true;
}

bool byte_buffer::append(const void* p, std::size_t n) {
  if (n == 0) return true;
  if (n > SIZE_MAX - size_) {
    errno = ENOMEM;
    return false;
  }
  if (size_ + n > room_) {
    // Grows by half again, so that appends cost linear time in all.
    std::size_t want = room_ + room_ / 2;
    if (want < size_ + n || want < room_) want = size_ + n;
    if (!reserve(want < 4096 ? 4096 : want)) return false;
  }
  std::memcpy(p_ + size_, p, n);
  size_ += n;
  return true;
}

bool byte_buffer::read_from(int fd, std::size_t size) {
  if (size > SIZE_MAX - size_) {
    errno = ENOMEM;
    return false;
  }
  const std::size_t end = size_ + size;
  if (size > 0 && !reserve(end)) return false;
  while (size == 0 || size_ < end) {
    if (size_ == room_ && !reserve(room_ + (room_ / 2 > 65536 ? room_ / 2 : 65536))) return false;
    const std::size_t want = size == 0 ? room_ - size_ : end - size_;
    const ssize_t got = ::read(fd, p_ + size_, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    size_ += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace morek
