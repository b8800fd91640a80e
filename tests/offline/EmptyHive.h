// A registry hive file with nothing in it but its root key, written from the
// documented layout: a 4 KiB base block and one 4 KiB hive bin holding the
// root key, its security cell and free space. hivex fills it from there.
#pragma once

#include <string>

bool WriteEmptyHive(const std::string& path);
