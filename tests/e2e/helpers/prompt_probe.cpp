// Shows the program's own prompt dialog (the same code and resources as in
// cordafix.exe) with a given style, text and caption, and prints the code it
// ends with, so that the driver can check every button set and end code,
// including styles the program's own flows never ask with.
//   prompt_probe STYLE TEXT [CAPTION]     prints "END <code>"
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "common/Shared.h"
#include "platform/win32/Win32Platform.h"
#include "ui/PromptDlg.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: prompt_probe STYLE TEXT [CAPTION]\n");
        return 2;
    }
    PlatformScope platform{Win32Platform()};
    SetPromptHandler(&RunPromptDialog);
    int code = ShowPrompt(argv[2], argc > 3 ? argv[3] : "", std::atoi(argv[1]));
    std::printf("END %d\n", code);
    std::fflush(stdout);
    return 0;
}
