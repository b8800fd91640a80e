// Processes and services on the real system.
#include <windows.h>

#include "platform/win32/Win32Parts.h"

namespace {

class Win32Processes : public Processes {};

}  // namespace

Processes& Win32ProcessesPart() {
    static Win32Processes part;
    return part;
}
