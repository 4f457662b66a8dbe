// Path names with '\' as the separator and '*' '?' as wildcards, and tab
// expansion of a string. A '\' that is the second byte of a Shift-JIS
// character is never taken for a separator.
#pragma once

namespace morek {

// An entry of the arrays that comp_file sorts; only the name is read.
struct file_entry {
  const char* name;
};

// The '.' that starts the extension of the final component; null if none.
const char* findExt(const char* path);

// Cuts pattern at the first '\' after its first wildcard: head gets the part
// before it, tail the part after it (empty when there is none); the pattern
// is left equal to head. head and tail need strlen(pattern) + 1 bytes. Returns 0.
int sepname(char* pattern, char* head, char* tail);

// qsort comparison for an array of file_entry pointers: fewer separators
// first, then StrCmp.
int comp_file(const void* a, const void* b);

// Largest column the result of exp_tab may reach.
inline constexpr int EXP_TAB_COLUMNS = 2048;

// src with its tabs expanded at width tab (>= 1), in a static buffer that the
// next call overwrites. Ends the process with status 1, after printing
// "<src> ... too long" on standard output, when the result would pass
// EXP_TAB_COLUMNS columns or a tab would reach that column.
const char* exp_tab(int tab, const char* src);

}  // namespace morek
