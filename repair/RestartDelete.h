// Deletion of a file that is in use, carried out by the system at its next start.
#pragma once

// 1 when the system will delete the file at its next start (NT: a delayed
// deletion it accepted; 9x: an entry in wininit.ini), 0 otherwise.
int ScheduleDeleteAtRestart(const char* path);

// Adds "destination=source" CR LF to the [rename] section of wininit.ini in
// the Windows directory (creating the section or the script as needed).
// The script is replaced only by a complete new version that holds every
// byte of the old one and keeps its hidden and system attributes: on any
// failure it keeps its old content. A read-only script is left as it is
// (false). True when the entry is in place.
bool AddRenameScriptEntry(const char* destination, const char* source);
