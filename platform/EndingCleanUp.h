#pragma once
// What a program keeps in its runtime folder (an endpoint's socket, a lock
// file) is removed when an interrupt, termination, hang-up or quit signal
// ends it: the file first, then its folder when nothing else is left in it,
// then the folder that holds that one (given as the outer folder) likewise.
// A signal the program ignores or handles itself is left alone. A child
// forked before its exec leaves its parent's entries alone.
#include <string>

namespace platform {

// Adds `file` (and `folder` and `outerFolder`, which may be empty) to the
// entries removed at such an ending; returns the ticket that takes them out
// again, -1 when the table is full (the entry is then only removed by the
// program's own end).
int RemoveAtEndingSignal(const std::string& file, const std::string& folder,
                         const std::string& outerFolder = std::string());

// Takes the entry out. Call it before the file is removed by the program
// itself: once removed, the path may name another process's file.
void ForgetAtEndingSignal(int ticket);

}  // namespace platform
