// The maker's product key and web pages.
#pragma once

// "Software\Quorvex\Kestrova 2000" under HKEY_LOCAL_MACHINE with its value
// "Installed Folder" read into a 300-byte buffer. A value longer than the
// buffer is never written past it; it still shows that the product is there,
// so it counts as installed (the value itself is not used).
bool IsProductInstalled();

const char kDownloadPage[] = "http://www.quorvex.example/download/downloadnow.htm";
const char kUtilityPage[] = "http://www.quorvex.example/download/utility.htm";

// The page a main-window command opens, or null for other commands.
const char* PageForCommand(int commandId);
