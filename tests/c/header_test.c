/* The public header is plain C: this file is compiled as C and calls the
 * library through it. */
#include <stdio.h>
#include <string.h>

#include "tarvenix.h"

int main(int argc, char **argv)
{
    char dir[512];
    MessageSink sink = 0;
    (void)sink;
    if (GetTarvenixDllDir(dir, (int32_t)sizeof dir) != 1) {
        fprintf(stderr, "GetTarvenixDllDir failed\n");
        return 1;
    }
    if (dir[0] == '\0' || dir[strlen(dir) - 1] != '/') {
        fprintf(stderr, "directory does not end in '/': %s\n", dir);
        return 1;
    }
    /* with an expected directory (TARVENIX_DIR set by the test) */
    if (argc > 1 && strcmp(dir, argv[1]) != 0) {
        fprintf(stderr, "directory '%s', expected '%s'\n", dir, argv[1]);
        return 1;
    }
    if (TARVENIX_ORD_enableDLLmessages_PortwardInitVb != 45 || TARVENIX_ORD_outbyte != 1) {
        fprintf(stderr, "ordinals wrong\n");
        return 1;
    }
    return 0;
}
