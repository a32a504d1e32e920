// Counts calls that must never happen on the audio thread: heap allocation and
// release, mutex locking and stdio or write(2) output. The counting versions of
// those functions live in forbidden_calls.cpp and replace the C library's for the
// whole executable; they forward to the real ones and count only while armed.
#pragma once

struct ForbiddenCallCounts {
    int allocations;
    int releases;
    int locks;
    int outputs;
};

namespace forbidden_calls {

void Arm();                           // zeroes the counts and starts counting
ForbiddenCallCounts Disarm();         // stops counting, returns what was seen

}  // namespace forbidden_calls
