#pragma once
// Work split between the calling thread and one helper thread that lives as long as the
// program: the heavy part of a frame (reading the column extremes of every curve) runs on two
// cores. The work items must be independent of each other. Where no thread can be started
// the calling thread does all the work.
#include <functional>

namespace qvtk {

// Calls work(i) for every i in 0..count-1 on this thread and the helper together, and then,
// on this thread and in order, use(i) as soon as work(i) is done: using the first items
// overlaps the work on the later ones. Returns when everything is done.
void ParallelPipeline(int count, const std::function<void(int)>& work,
                      const std::function<void(int)>& use);

// Calls work(i) for every i in 0..count-1 on this thread and the helper together; returns
// when everything is done.
void ParallelFor(int count, const std::function<void(int)>& work);

} // namespace qvtk
