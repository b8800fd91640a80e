// Whether the maker's antivirus product is installed: the one value the
// program reads from outside.
#pragma once

// "Software\Quorvex\Kestrova 2000" under HKEY_LOCAL_MACHINE with its value
// "Installed Folder" read into a 300-byte buffer. A value longer than the
// buffer is never written past it; it still shows that the product is there,
// so it counts as installed (the value itself is not used).
bool IsProductInstalled();
