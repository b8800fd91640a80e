// A program that only stays alive: end-to-end tests pad copies of it into
// samples of the detection table, so that a running process holds a file
// that the scan must find. It sleeps for the seconds given as its argument
// (600 when none is given, never longer) and then exits.
#include <cstdlib>

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

int main(int argc, char** argv) {
    const int kLongest = 600;
    int seconds = argc > 1 ? std::atoi(argv[1]) : kLongest;
    if (seconds < 0 || seconds > kLongest) seconds = kLongest;
    for (int i = 0; i < seconds; ++i) Sleep(1000);
    return 0;
}
