/* Writes its second argument to standard output and exits with the code its
 * first argument gives, so a test sees what a program it started did. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc > 2)
        fputs(argv[2], stdout);
    return argc > 1 ? atoi(argv[1]) : 0;
}
