#include <stdio.h>
#include "objc_like.h"
int main(void) {
    printf(FMT, names[0], names[1]);
    printf("[%s] [%c]\n", names[2], PATH_SEP);
    return 0;
}
