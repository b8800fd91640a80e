// The file checker: match one file and deal with it by ActionCode, with one
// log line for each outcome.
#pragma once

#include <cstddef>

// Time the kill confirmation leaves a just-terminated process to let go of its file.
const unsigned kKillConfirmationPauseMs = 1000;

// Checks the file at path (tag: the checker list's text, "W32/Drovak.Trojan").
// 1 when the file matched a record, whatever then happened to it; 0 when it
// did not, and always 0 in the kill confirmation (KillActionCode set), which
// acts on the file without matching it.
int CheckAndCleanFile(const char* tag, const char* path);

// Applies ActionCode to an infected file and posts its result line;
// detectionName goes into the lines formed from the path.
void DisposeInfectedFile(const char* path, const char* detectionName);

// The name action 101 moves a file to: the character after the last "." of
// path becomes "V" (C:\Windows\evil.exe -> C:\Windows\evil.Vxe). When no
// character follows the last ".", a "V" is appended (C:\x\evil. ->
// C:\x\evil.V); a path without any "." gets ".V" appended. False (and
// target emptied) when the new name does not fit in size bytes. The hosts
// file's rename keeps a name without "." instead (repair/HostsCheck.cpp).
bool MakeRenameTarget(const char* path, char* target, size_t size);
