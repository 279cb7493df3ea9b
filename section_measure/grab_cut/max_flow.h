// The max-flow of OpenCV's GCGraph (Boykov and Kolmogorov's) on a GridGraph, step for step: the
// same trees grown in the same order, the same paths augmented, the same orphans adopted, so
// that a vertex the cut leaves undecided ends on the side GCGraph leaves it on.
#pragma once

#include "section_measure/grab_cut/grid_graph.h"

namespace plantscan::section {

// Runs from the state startSearch left with the same `start`; returns the flow
// pushed along the paths (GCGraph's flow but for the part it counts as the terminal weights are
// added). Throws cv::Exception where GCGraph's checks would.
double maxFlow(GridGraph& graph, const StartWeights& start);

// GCGraph::inSourceSegment after the flow. A vertex still interior is in the tree it started in,
// which its flags say.
inline bool inSourceSegment(const GridGraph& graph, int v) {
    const std::uint8_t flags = graph.flags[v];
    if (flags & INTERIOR) return !(flags & STARTS_IN_SINK);
    return graph.vertex[v].tree == 0;
}

}  // namespace plantscan::section
