// Rules of the main window's log list: when it starts afresh, which line is
// selected, and how wide its horizontal scroll range becomes.
#pragma once

// During the walk the list holds at most this many lines; the next one
// empties it. Once the statistics block has begun every line stays.
const int kLogListLimit = 150;

// Widest line (in pixels, as measured) that still leaves the scroll range alone.
const int kLogExtentThreshold = 560;

// True when the list must be emptied before the next line is added.
bool LogListNeedsReset(int lineCount, bool statisticsShown);

// The index to select once the list holds lineCount lines. For one or two
// lines this is lineCount itself, an index past the end, which selects nothing.
int LogSelectionIndex(int lineCount);

// Decides the list's new horizontal extent from its current extent and the
// widest line. Lines are measured without the list's own font (in the wider
// system font), hence the three quarters. Returns true and sets *extent when
// it changes; the extent never shrinks, not even after the list started afresh.
bool NextHorizontalExtent(int currentExtent, int widestLine, int* extent);
