// The application object: one copy at a time, one modal main window.
#pragma once

class CCleanerApp {
public:
    // Runs the program; returns false always, since the program ends when the
    // main window closes and there is no message loop of its own to enter.
    bool InitInstance();
};
