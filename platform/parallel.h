#pragma once
// Work split between the calling thread and one helper thread that lives as long as the
// program: the heavy part of a frame (reading the column extremes of every curve) runs on two
// cores. The work items must be independent of each other.
#include <functional>

namespace qvtk {

// Calls work(i) for every i in 0..count-1, on this thread and the helper together, and
// returns when all are done. Items are handed out one at a time, in order.
void ParallelFor(int count, const std::function<void(int)>& work);

} // namespace qvtk
