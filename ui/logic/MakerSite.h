// The maker's web pages that the main window's links open.
#pragma once

const char kDownloadPage[] = "http://www.quorvex.example/download/downloadnow.htm";
const char kUtilityPage[] = "http://www.quorvex.example/download/utility.htm";

// The page a main-window command opens, or null for other commands.
const char* PageForCommand(int commandId);
