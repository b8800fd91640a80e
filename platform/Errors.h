// Win32 error codes that cross the seam, shared by every concern and every
// implementation: each has this one definition.
#pragma once

#include <cstdint>

const int32_t kErrorSuccess = 0;
const int32_t kErrorFileNotFound = 2;
const int32_t kErrorPathNotFound = 3;
const int32_t kErrorAccessDenied = 5;
const int32_t kErrorInvalidHandle = 6;
const int32_t kErrorNotSameDevice = 17;
const int32_t kErrorNoMoreFiles = 18;
const int32_t kErrorWriteFault = 29;
const int32_t kErrorSharingViolation = 32;
const int32_t kErrorFileExists = 80;
const int32_t kErrorInvalidParameter = 87;
const int32_t kErrorCallNotImplemented = 120;
const int32_t kErrorInsufficientBuffer = 122;
const int32_t kErrorModNotFound = 126;
const int32_t kErrorProcNotFound = 127;
const int32_t kErrorBadPathname = 161;
const int32_t kErrorAlreadyExists = 183;
const int32_t kErrorMoreData = 234;
const int32_t kErrorNoMoreItems = 259;
const int32_t kErrorPartialCopy = 299;
const int32_t kErrorBadDatabase = 1009;
const int32_t kErrorKeyDeleted = 1018;
const int32_t kErrorInvalidServiceControl = 1052;
const int32_t kErrorServiceDoesNotExist = 1060;
const int32_t kErrorServiceNotActive = 1062;
const int32_t kErrorNotAllAssigned = 1300;
const int32_t kErrorNoSuchPrivilege = 1313;
const int32_t kErrorServiceManagerUnavailable = 1722;  // RPC_S_SERVER_UNAVAILABLE
