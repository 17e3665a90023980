/* A program that uses the installed device access library the way a third party would. */
#include <stdio.h>

#include <VexaSdk.h>

int main(void) {
    char path[KO_HID_PATH_SIZE];
    short v[5];
    int serial;
    /* Nothing is operated yet: the handle checks and the empty HID list must answer cleanly. */
    if (KO_ReadMainProperty(0) != RC_FAILED) return 1;
    if (KO_HIDGetSearchDev(path, &v[0], &v[1], &v[2], &v[3], &v[4], &serial) != RC_NO_MORE) return 2;
    puts("consumer ok");
    return 0;
}
