#pragma once

namespace tavor1 {

// Hands the heap's free pages back to the system. The allocator keeps what a
// job freed for later use; after a job that read a large request that would
// be tens of megabytes held for as long as the driver runs. A no-op where
// the C library has no such call.
void releaseFreeMemory();

} // namespace tavor1
