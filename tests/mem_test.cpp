#include "mem.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "test_support.hpp"

using namespace morek;

namespace {

// The failure paths are real: each runs in a child whose address space is too
// small for the request. Sanitizers reserve more address space than such a
// limit leaves, and under an emulator the limit falls on the emulator, so
// there these tests are skipped.
#if defined(MOREK_EMULATED)
constexpr bool can_limit_memory = false;
#else
constexpr bool can_limit_memory = !sanitized;
#endif

void limit_memory() {
  const rlimit lim{512L << 20, 512L << 20};
  setrlimit(RLIMIT_AS, &lim);
}

// Leaves no memory at all to the process, for requests of any size to fail.
void exhaust_memory() {
  limit_memory();
  // Every size class, for no free chunk of any size to be left over.
  for (std::size_t size = 64 << 10; size >= 16; size -= 16) {
    void* volatile held;  // volatile, so that the calls are not optimised away
    do held = std::malloc(size);
    while (held != nullptr);
  }
}

void say_end() { std::fputs("endfun\n", stderr); }

TEST(Getmem, BlockIsZeroAndUsable) {
  for (int size : {0, 1, 1000, 4098, 1 << 20}) {
    auto* p = static_cast<unsigned char*>(getmem(size));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < size; ++i) ASSERT_EQ(p[i], 0) << "size " << size << " byte " << i;
    std::free(p);
  }
}

TEST(Setstr, CopiesAndAddstrAppends) {
  char* s = setstr("ab");
  EXPECT_STREQ(s, "ab");
  s = addstr(s, "cd");
  EXPECT_STREQ(s, "abcd");
  s = addstr(s, "");
  EXPECT_STREQ(s, "abcd");
  std::free(s);
}

TEST(Moremem, KeepsContentsAndNullIsAFreshBlock) {
  auto* p = static_cast<char*>(moremem(nullptr, 8));
  std::memcpy(p, "1234567", 8);
  p = static_cast<char*>(moremem(p, 1 << 20));
  EXPECT_STREQ(p, "1234567");
  p = static_cast<char*>(moremem(p, 3));
  EXPECT_EQ(std::memcmp(p, "123", 3), 0);
  std::free(p);
}

using MemDeath = testing::Test;

TEST(MemDeath, ShortageMessagesCountThousands) {
  if (!can_limit_memory) GTEST_SKIP() << "address space cannot be limited here";
  struct {
    int size;
    const char* message;
  } const cases[] = {
      {1000, "^cannot get the memory of 1000 bytes\n$"},         {1001, "^cannot get the memory of 1 K bytes\n$"},
      {1999, "^cannot get the memory of 1 K bytes\n$"},          {4098, "^cannot get the memory of 4 K bytes\n$"},
      {1 << 30, "^cannot get the memory of 1073741 K bytes\n$"},
  };
  for (const auto& c : cases) {
    EXPECT_EXIT(
        {
          exhaust_memory();
          getmem(c.size);
          std::exit(0);
        },
        testing::ExitedWithCode(1), c.message)
        << c.size;
  }
}

TEST(MemDeath, EndfunRunsOnceAfterTheMessage) {
  if (!can_limit_memory) GTEST_SKIP() << "address space cannot be limited here";
  EXPECT_EXIT(
      {
        limit_memory();
        endfun = say_end;
        getmem(1 << 30);
      },
      testing::ExitedWithCode(1), "^cannot get the memory of 1073741 K bytes\nendfun\n$");
  EXPECT_EXIT(
      {
        limit_memory();
        endfun = say_end;
        moremem(nullptr, 1 << 30);
      },
      testing::ExitedWithCode(1), "^cannot get the memory of 1073741 K bytes\nendfun\n$");
  EXPECT_EXIT(
      {
        limit_memory();
        endfun = say_end;
        char* s = setstr("x");
        std::string big(100, 'y');
        for (int i = 0; i < 30; ++i) s = addstr(s, (big += big).c_str());
      },
      testing::ExitedWithCode(1), "^can't get memory\nendfun\n$");
}

TEST(MemDeath, AtTerminateSizeGetmemReturnsNull) {
  if (!can_limit_memory) GTEST_SKIP() << "address space cannot be limited here";
  EXPECT_EXIT(
      {
        limit_memory();
        endfun = say_end;
        std::exit(getmem(INT_MAX) == nullptr ? 7 : 0);
      },
      testing::ExitedWithCode(7), "^cannot get the memory of 2147483 K bytes\n$");
  EXPECT_EXIT(
      {
        exhaust_memory();
        terminate_size = 1000;
        std::exit(getmem(1000) == nullptr ? 7 : 0);
      },
      testing::ExitedWithCode(7), "^cannot get the memory of 1000 bytes\n$");
  EXPECT_EXIT(
      {
        exhaust_memory();
        terminate_size = 1000;
        getmem(999);
        std::exit(0);
      },
      testing::ExitedWithCode(1), "^cannot get the memory of 999 bytes\n$");
}

TEST(MemDeath, BadSizesAreRefusedWithoutTouchingTheBlock) {
  EXPECT_EXIT(getmem(-5), testing::ExitedWithCode(1), "^cannot get the memory of -5 bytes\n$");
  EXPECT_EXIT(
      {
        static char* kept = setstr("kept");  // still reachable when the process ends
        moremem(kept, 0);
      },
      testing::ExitedWithCode(1), "^cannot get the memory of 0 bytes\n$");
}

}  // namespace
