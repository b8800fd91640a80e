#include "engine/ShortenPath.h"

#include <cstdio>
#include <cstring>

namespace {
const int kWidestShortening = 100;
}

bool ShortenPath(const char* source, char* destination, size_t destinationSize, int width) {
    if (destinationSize == 0) return false;
    destination[0] = '\0';
    if (width < 0 || width > kWidestShortening || static_cast<size_t>(width) >= destinationSize)
        return false;

    size_t length = strlen(source);
    int keep = width / 2 - 1;
    if (length <= static_cast<size_t>(width) || keep <= 0) {
        snprintf(destination, destinationSize, "%s", source);
        return true;
    }
    // width < destinationSize, so head, dots and tail always fit.
    size_t head = static_cast<size_t>(keep);
    size_t dots = static_cast<size_t>(width) - 2 * head;
    memcpy(destination, source, head);
    memset(destination + head, '.', dots);
    memcpy(destination + head + dots, source + length - head, head);
    destination[width] = '\0';
    return true;
}
