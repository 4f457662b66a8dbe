#include "mem.hpp"

#include <cstdlib>
#include <cstring>

#include "errmsg.hpp"

namespace morek {

void (*endfun)() = nullptr;
int terminate_size = 2147483647;

namespace {

// The second attempt asks for more, computed wide so that a size near the
// int limit never wraps into a small request.
constexpr std::size_t second_try(int size) { return static_cast<std::size_t>(size) + 1000; }

// errmsg formats into a static buffer, so a report needs no heap memory.
void report_size(int size) {
  if (size > 1000)
    errmsg("cannot get the memory of %d K bytes\n", size / 1000);
  else
    errmsg("cannot get the memory of %d bytes\n", size);
}

[[noreturn]] void give_up() {
  if (endfun != nullptr) endfun();
  std::exit(1);
}

}  // namespace

void* getmem(int size) {
  if (size >= 0) {
    // calloc leaves untouched the pages of a large block that nobody uses.
    const std::size_t n = size > 0 ? static_cast<std::size_t>(size) : 1;
    if (void* p = std::calloc(n, 1)) return p;
    if (void* p = std::calloc(second_try(size), 1)) return p;
  }
  report_size(size);
  if (size >= terminate_size) return nullptr;
  give_up();
}

void* moremem(void* block, int size) {
  if (size >= 1) {
    if (void* p = std::realloc(block, static_cast<std::size_t>(size))) return p;
    if (void* p = std::realloc(block, second_try(size))) return p;
  }
  report_size(size);
  give_up();
}

char* setstr(const char* s) {
  if (char* p = strdup(s)) return p;
  errmsg("cannot get memory\n");
  give_up();
}

char* addstr(char* s, const char* t) {
  const std::size_t head = std::strlen(s);
  const std::size_t tail = std::strlen(t);
  auto* p = static_cast<char*>(std::realloc(s, head + tail + 1));
  if (p == nullptr) {
    errmsg("can't get memory\n");
    give_up();
  }
  std::memcpy(p + head, t, tail + 1);
  return p;
}

}  // namespace morek
