// Fitting a long path into the status line.
#pragma once

#include <cstddef>

// Writes into destination (destinationSize bytes) a copy of source that is at
// most width characters long: a longer source keeps its first and last
// width / 2 - 1 characters with dots between them, so both the drive and the
// file name stay visible. A source that fits, or a width below 4, is copied
// as it is (cut to the buffer when it cannot hold it: the result is only
// ever shown, never used as a path).
// Returns false, with destination emptied, when width is negative, above 100
// or leaves no room in the buffer.
bool ShortenPath(const char* source, char* destination, size_t destinationSize, int width);
