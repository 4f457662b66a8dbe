/* A sample: tabs of width 8, aligned with spaces. */
#include <stdio.h>

int main(void)
{
	const char *msg = "a	b  c";    /* a tab and two spaces inside */
	int        count = 2;          // aligned with spaces

	if (count > 1) {
		printf("%s\n", msg);   
	}
	return 0;
}
