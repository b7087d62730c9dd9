// The program's resident size after a book has come and gone. Where the C library keeps
// freed memory for later (glibc), these give it back; elsewhere they do nothing.
#pragma once

namespace moratutor {

// One heap for all threads (a document built on a worker thread and freed on the window's
// would otherwise leave its space in a heap of its own), and large blocks given back to
// the system as soon as they are freed.
void UseOneHeap();

// Returns memory freed by a large document, a conversion or a save to the system, so that
// the next one starts from what the program holds rather than from its last peak.
void ReturnFreedMemory();

}  // namespace moratutor
