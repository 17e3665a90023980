/* A program installed away from the tool-set's program folder still finds the upgrade plug-ins:
 * the upgrade library looks beside itself when the program's folder has none. */
#include <stdio.h>

#include <FwLoader.h>

int main(void) {
    int count = KB_GetCommDeviceList(NULL, 0);
    char name[KB_NAME_SIZE];
    for (int i = 0; i < count; ++i)
        if (KB_GetCommDeviceList(name, i) == 1) printf("plug-in %d: %s\n", i, name);
    return count >= 2 ? 0 : 1;
}
