// Mapping a child's screen rectangle from the window's actual client size
// onto the reference size.
#pragma once

struct ScaleRect {
    int left;
    int top;
    int right;
    int bottom;
};

// Factors are actual / reference; false (factors untouched) for a reference
// or client size that is not positive.
bool ComputeScaleFactors(int clientWidth, int clientHeight, int referenceWidth,
                         int referenceHeight, double* horizontal, double* vertical);

// Each edge divided by its factor, truncated toward zero.
ScaleRect RescaleRect(const ScaleRect& screen, double horizontal, double vertical);
