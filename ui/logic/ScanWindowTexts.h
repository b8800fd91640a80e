// The texts the main window writes into its template's statics.
#pragma once

#include <cstddef>

// Each writes into buffer (of size bytes) and returns false, leaving "",
// when the text would not fit.
bool FormDescriptionText(char* buffer, size_t size);    // control 1074
bool FormFamilyLineText(char* buffer, size_t size);     // control 1068
bool FormSearchingForText(char* buffer, size_t size);   // control 1076 during a scan

extern const char kMakerNotice[];    // control 1072
extern const char kProductNotice[];  // control 1075
