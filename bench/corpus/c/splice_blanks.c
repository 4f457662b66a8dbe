/* A backslash, blanks and a line's end splice the lines, as GCC and Clang
   read them (with a warning): the string goes on over the next line. */
#include <stdio.h>
int main(void) {
	const char* s = "a\  
	  b	 c";
	const char* t = "d	  e";
	printf("[%s][%s]\n", s, t);
	int	w	=	0;
	return w;
}
