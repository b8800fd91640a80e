// Autostart values that launch an infected file, removed after each detection.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Platform.h"

// The repair step after every detection: checks the hosts file, then removes
// the autostart values (Run and RunServices) that launch CurrentFilePath or
// carry the name remembered from an earlier infected file, each with a log
// line; with the leave-alone action (103) each stays, with its "not removed"
// line. Always returns 1.
int RepairAfterDetection(const char* detectionName);

extern const char kRunKeyPath[];          // Software\Microsoft\Windows\CurrentVersion\Run
extern const char kRunServicesKeyPath[];  // ...\RunServices

// Removes every value of the key whose command launches CurrentFilePath
// (which is turned to lower case on the way), with a log line for each.
void CleanAutostartKey(RegKey root, const char* keyPath);
// 1 when the key opened with all access, the value was deleted and the key closed.
int DeleteRegistryValue(RegKey root, const char* keyPath, const char* valueName);
// Reads the value's data as 8-bit text into buffer (zero-ended, size bytes
// including the zero). 1 on success; 0 when the key or value cannot be read,
// or when the data do not fit whole.
int ReadRegistryText(RegKey root, const char* keyPath, const char* valueName, char* buffer, size_t size);
