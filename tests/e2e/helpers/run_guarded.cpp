// Starts a program that other processes may list and name but not terminate,
// as a trojan guarding itself would be; prints "STARTED <process id>" and
// leaves it running.
//   run_guarded PROGRAM [ARGUMENTS...]
#include <cstdio>
#include <string>

#include "../../support/GuardedProcess.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: run_guarded PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    std::string line = std::string("\"") + argv[1] + "\"";
    for (int i = 2; i < argc; ++i) line += std::string(" ") + argv[i];
    HANDLE process = NULL;
    DWORD id = StartGuardedProgram(line.c_str(), ProcessGuard::kNoTermination, &process);
    if (id == 0) {
        fprintf(stderr, "run_guarded: cannot start %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    CloseHandle(process);
    printf("STARTED %lu\n", id);
    return 0;
}
