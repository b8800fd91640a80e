// Where an offline scan's lines go in tests that look at its results elsewhere.
#pragma once

#include "platform/offline/OfflineSession.h"

class SilentOutput : public OfflineOutput {
public:
    void LogLine(const char*) override {}
    void StatusText(const char*) override {}
    void Notice(const char*, const char*) override {}
};
