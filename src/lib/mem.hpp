// Allocation that reports a shortage through errmsg and ends the process.
#pragma once

namespace morek {

// Called once, after the message, before a helper ends the process for lack
// of memory. Null means nothing is called.
extern void (*endfun)();

// A failed getmem of at least this many bytes returns null after its message
// instead of ending the process.
extern int terminate_size;

// A zero-filled block of size bytes (0 or more). A shortage, or a negative
// size, is reported; then null is returned when size >= terminate_size,
// otherwise endfun runs and the process ends with status 1.
void* getmem(int size);

// block (or null) resized to size bytes (1 or more), contents kept; never
// null. A shortage or a size below 1 is reported and ends the process, the
// block left as it was.
void* moremem(void* block, int size);

// A heap copy of s; never null.
char* setstr(const char* s);

// The heap string s grown to hold s followed by t; s is no longer valid.
char* addstr(char* s, const char* t);

}  // namespace morek
