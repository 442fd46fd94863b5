// A system-call layer for the write-fault tests: it forwards to the kernel like the
// program's own, but counts the calls that can fail a writer and fails the chosen one.
#pragma once

namespace fault {

enum class Kind {
    None,          // count only
    Error,         // point `at` fails with EIO (any counted call)
    DiskFull,      // from write `at` on, every write into a newly created file fails with ENOSPC
    ShortWrite,    // write `at` stores only part of what it was given (the caller must go on)
    TornWrite,     // write `at` stores only part, and the write that would finish it fails with EIO
    NoKernelCopy,  // every kernel-side copy is refused as between two file systems
};

struct Plan {
    Kind kind = Kind::None;
    int at = 0;  // 1-based; counts every point for Error, only writes for the other kinds
};

// Starts a new count under the plan.
void Arm(Plan plan);
// Back to counting only.
void Disarm();
// Points (opens, writes, copies, flushes, renames, links, mode changes, locks) and writes seen since Arm.
int PointsSeen();
int WritesSeen();
// Whether the plan made a call fail or fall short.
bool Fired();
// Renames since Arm that put a file whose last writes were not flushed in the place of an
// existing one: after a crash there, neither the old file nor the new one might be whole.
int UnflushedReplacements();

}  // namespace fault
