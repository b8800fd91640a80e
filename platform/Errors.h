// Win32 error codes that cross the seam, shared by every concern.
#pragma once

#include <cstdint>

const int32_t kErrorSuccess = 0;
const int32_t kErrorFileNotFound = 2;
const int32_t kErrorPathNotFound = 3;
const int32_t kErrorAccessDenied = 5;
const int32_t kErrorInvalidHandle = 6;
const int32_t kErrorSharingViolation = 32;
const int32_t kErrorMoreData = 234;
const int32_t kErrorNoMoreItems = 259;
const int32_t kErrorNotAllAssigned = 1300;
