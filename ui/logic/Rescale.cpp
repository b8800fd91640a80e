#include "ui/logic/Rescale.h"

bool ComputeScaleFactors(int clientWidth, int clientHeight, int referenceWidth,
                         int referenceHeight, double* horizontal, double* vertical) {
    if (clientWidth <= 0 || clientHeight <= 0 || referenceWidth <= 0 || referenceHeight <= 0)
        return false;
    *horizontal = static_cast<double>(clientWidth) / referenceWidth;
    *vertical = static_cast<double>(clientHeight) / referenceHeight;
    return true;
}

ScaleRect RescaleRect(const ScaleRect& screen, double horizontal, double vertical) {
    ScaleRect scaled;
    scaled.left = static_cast<int>(screen.left / horizontal);
    scaled.right = static_cast<int>(screen.right / horizontal);
    scaled.top = static_cast<int>(screen.top / vertical);
    scaled.bottom = static_cast<int>(screen.bottom / vertical);
    return scaled;
}
