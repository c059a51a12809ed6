// Measurement builds only: the process's memory and object counts, sampled on a thread of their
// own and printed to standard error, for runs of many minutes (scripts/soak.sh).
#pragma once

#include <windows.h>

struct ResourceSample {
    SIZE_T privateBytes = 0;
    SIZE_T workingSet = 0;
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
};

ResourceSample SampleResources();

// Prints "soak: seconds=S private=B working_set=B handles=N gdi=N user=N" at once and then every
// `periodMs` milliseconds, from a thread that lives until the process ends.
void StartResourceSampler(DWORD periodMs);
