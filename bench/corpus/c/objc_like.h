/* a header: macros with strings, a character with a backslash */
#ifndef OBJC_LIKE_H
#define OBJC_LIKE_H
#define PATH_SEP '\\'
#define FMT "%s   |   %s\n"
static const char *const names[] = { "one   1", "two	2", "three  " };
#endif
