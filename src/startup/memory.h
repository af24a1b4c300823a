#pragma once

namespace kalibrix {

// Keeps the memory a run frees for the next run instead of giving it back to the system at
// once: a run over 30000 positions works with a few megabytes of short-lived arrays, and
// fresh pages from the system would cost the kernel more time, zeroing them, than the run
// spends computing. Called once at the start of each program.
void keepFreedMemory();

}  // namespace kalibrix
