#include "ui/logic/LogListRules.h"

bool LogListNeedsReset(int lineCount, bool statisticsShown) {
    return lineCount >= kLogListLimit && !statisticsShown;
}

int LogSelectionIndex(int lineCount) {
    return lineCount > 2 ? lineCount - 1 : lineCount;
}

bool NextHorizontalExtent(int currentExtent, int widestLine, int* extent) {
    if (currentExtent >= widestLine || widestLine <= kLogExtentThreshold) return false;
    // Compute in 64 bits: a pathological measurement must not wrap around.
    int wanted = static_cast<int>(static_cast<long long>(widestLine) * 3 / 4);
    if (wanted <= currentExtent) return false;
    *extent = wanted;
    return true;
}
