// Holds a file open without delete sharing, as a program using it would, so
// that deleting it fails with the sharing violation.
//   repair_hold PATH SECONDS   prints "HELD" once the file is open
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: repair_hold PATH SECONDS\n");
        return 2;
    }
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "repair_hold: cannot open %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    printf("HELD\n");
    fflush(stdout);
    Sleep(static_cast<DWORD>(atoi(argv[2])) * 1000);
    CloseHandle(file);
    return 0;
}
