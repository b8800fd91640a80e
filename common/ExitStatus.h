// The exit statuses both programs end with, the Windows program in an
// unattended run and the rescue scanner in every run: what scripts,
// installers and deployment systems read.
#pragma once

const int kExitNothingFound = 0;
const int kExitAllRemoved = 1;
const int kExitSomethingLeft = 2;  // found, not all of it removed or repaired
const int kExitCouldNotRun = 3;
