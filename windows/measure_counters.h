// Measurement builds only: counts the heap allocations that the program's own code makes on
// threads other than the main one (the playback worker) and the Direct3D resources that the
// device creates, and splits both at every hand-over of a finished picture, so that the
// counts after the first frame show what each frame costs. Linked into the measurement players
// with malloc, calloc and realloc wrapped (-Wl,--wrap=...), which operator new reaches too.
#pragma once

#include <d3d9.h>

// Starts counting on the calling (main) thread's device and prints one line at process exit:
// "measure-worker: worker_frames=N first_allocs=A later_allocs=B later_allocs_max=C
// first_creations=D later_creations=E later_creations_max=F", where "first" covers everything
// up to the first hand-over and "later" every frame after it.
void StartMeasureCounters(IDirect3DDevice9* device);
