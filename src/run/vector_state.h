#pragma once

namespace kalibrix {

// Clears the upper halves of the processor's vector registers when a library left them in
// use (x86 with AVX; elsewhere nothing). Qt's drawing code leaves them so; until they are
// cleared, every call from this program's plain SSE code into the C library's AVX maths
// (log, pow) pays a transition of the register state, which made ln X some 40 times slower.
// Called before the long computations: a plot-and-calculate run and the export.
void cleanVectorState();

}  // namespace kalibrix
