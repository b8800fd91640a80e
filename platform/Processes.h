// Processes and services: listing, terminating and stopping them.
#pragma once

#include <cstdint>

#include "platform/Errors.h"

class Processes {
public:
    virtual ~Processes() {}
};
