// The texts the main window writes into its template's statics.
#pragma once

#include <cstddef>

// Each writes into buffer (of size bytes) and returns false, leaving "",
// when the text would not fit.
bool FormDescriptionText(char* buffer, size_t size);   // IDC_DESCRIPTION
bool FormFamilyLineText(char* buffer, size_t size);    // IDC_FAMILY_LINE
bool FormSearchingForText(char* buffer, size_t size);  // IDC_SEARCHING_FOR during a scan

// IDC_MAKER_NOTICE and IDC_PRODUCT_NOTICE.
constexpr char kMakerNotice[] = "Quorvex Software - protecting your computer since 1991";
constexpr char kProductNotice[] = "This program is a part of Kestrova antivirus software.";
