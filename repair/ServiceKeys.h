// Removal of a service's registry keys from the machine's numbered control sets.
#pragma once

// Deletes the Enum and Security sub-keys and then the key of the service
// named serviceName, under SYSTEM\ControlSet001\Services and then
// SYSTEM\ControlSet002\Services of HKEY_LOCAL_MACHINE. Every deletion is
// tried; 1 when at least one succeeded, 0 when none did. An empty name, or
// one too long for a key path, deletes nothing and gives 0.
int RemoveServiceKeys(const char* serviceName);
// Deletes that single key (no sub-keys on the NT family) under
// HKEY_LOCAL_MACHINE; 1 on success, 0 on failure.
int DeleteMachineKey(const char* keyPath);
