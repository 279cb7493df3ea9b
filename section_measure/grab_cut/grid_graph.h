// OpenCV's GCGraph as grabCut builds it, over the pixel grid: each pixel a vertex with edges to
// its eight neighbours, the edges implicit. A frame of idle vertices round the image stands for
// missing neighbours: their edges have no capacity and they never join a tree, which is how
// GCGraph treats edges it does not have. An edge's capacity is grabCut's for the two colours it
// joins, computed when it is read, until the flow changes it: only a vertex the flow touches
// keeps its residual capacities (and terminal weight), for the round. The graph is made once and
// reset for each round, writing only what the last flow changed.
#pragma once

#include "section_measure/grab_cut/row_stripes.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace plantscan::section {

// Neighbour directions in the order GCGraph's adjacency lists visit them (the reverse of the
// order grabCut adds the edges): down-right, down, down-left, right, up-right, up, up-left, left.
inline constexpr int NEIGHBOURS = 8;
inline constexpr int DX[NEIGHBOURS] = {1, 0, -1, 1, 1, 0, -1, -1};
inline constexpr int DY[NEIGHBOURS] = {1, 1, 1, 0, -1, -1, -1, 0};
inline constexpr int OPPOSITE[NEIGHBOURS] = {6, 5, 4, 7, 2, 1, 0, 3};

// A vertex's parent: free, a root of its tree, an orphan, or 1 + the direction of its parent.
inline constexpr signed char FREE = 0;
inline constexpr signed char TERMINAL = -1;
inline constexpr signed char ORPHAN = -2;

// A vertex's flags, a byte of their own (GridGraph::flags). In the active queue the flow starts
// with (it has a terminal weight), and in its sink tree; in the part of the queue that grows as
// the flow runs; touched by the flow, its residual capacities kept, and its terminal weight
// once the flow asked for it; part of the frame.
inline constexpr std::uint8_t STARTS_ACTIVE = 1;
inline constexpr std::uint8_t STARTS_IN_SINK = 2;
inline constexpr std::uint8_t QUEUED = 4;
inline constexpr std::uint8_t TOUCHED = 8;
inline constexpr std::uint8_t FRAME = 16;
inline constexpr std::uint8_t WEIGHED = 64;
// A vertex of the starting queue whose neighbours were all roots of its own tree when the flow
// started: while they stay so, growing the trees from it changes nothing, and the flow passes
// it by. A root that loses its terminal takes the flag off itself and its neighbours; one that
// keeps it to the end of the flow is still as a reset would set it, and a reset leaves it be.
inline constexpr std::uint8_t INTERIOR = 32;

// A vertex's search state: GCGraph::Vtx's but for its weight and queue link, in 12 bytes.
struct Vertex {
    int stamp;  // GCGraph's ts; one at or below the flow's first counts as its 0
    int dist;
    signed char parent;
    std::uint8_t tree;  // 0 source tree, 1 sink tree
};

// What the flow changed of a vertex it touched: the residual capacities of its edges, in
// direction order, and its terminal weight.
struct Residuals {
    double toward[NEIGHBOURS];
    double weight;
};

// Each pixel's terminal weight as a flow starts (> 0 toward the source, < 0 toward the sink),
// as an entry of a table: index[pixel], pixels row after row. A reset needs only each entry's
// start flags (STARTS_ACTIVE where the weight is not 0, STARTS_IN_SINK where it is below); the
// flow asks weightOf(entry) for the weight itself, at the few pixels it reaches.
struct StartWeights {
    const std::vector<std::uint8_t>& flags;
    const Places& index;
    std::function<double(std::uint32_t entry)> weightOf;
};

// The start flags of a weight. As GCGraph reads one, a NaN (a colour impossible in both models)
// starts in the source tree.
inline std::uint8_t startFlagsOf(double weight) {
    return static_cast<std::uint8_t>((weight != 0 ? STARTS_ACTIVE : 0) |
                                     (weight < 0 ? STARTS_IN_SINK : 0));
}

class GridGraph {
public:
    // The graph of `image` (8-bit, 3 channels): the capacity of the edge between two pixels at a
    // squared colour distance s is edgeCapacity[2 s] straight, edgeCapacity[2 s + 1] diagonal.
    GridGraph(const cv::Mat& image, std::vector<double> edgeCapacity);
    // The same made in parts, which may run at once: the graph of a rows x cols image, left
    // unwritten; then each part of its rows, [y0, y1), from the image (those of the frame above
    // the first row and below the last with them); then the capacities.
    GridGraph(int rows, int cols);
    void setRows(const cv::Mat& image, int y0, int y1);
    void setEdgeCapacities(std::vector<double> edgeCapacity) {
        edgeCapacity_ = std::move(edgeCapacity);
    }

    int at(int y, int x) const { return (y + 1) * stride + x + 1; }
    std::size_t pixelOf(int v) const {
        return static_cast<std::size_t>(v / stride - 1) * cols + (v % stride - 1);
    }

    // The residual capacity of the edge from v in direction d.
    double capacity(int v, int d) const {
        return (flags[v] & TOUCHED) ? residuals[slot[v]].toward[d] : original(v, d);
    }
    double original(int v, int d) const {
        const int u = v + offset[d];
        if ((flags[v] | flags[u]) & FRAME) return 0;
        const std::uint32_t a = colour_[v], b = colour_[u];
        int squared = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const int t =
                static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255);
            squared += t * t;
        }
        return edgeCapacity_[2 * squared + (d % 2 == 0)];  // even directions are diagonal
    }

    int rows, cols, stride, vertexCount;
    int offset[NEIGHBOURS];  // from a vertex to its neighbour in each direction
    std::unique_ptr<Vertex[]> vertex;
    std::unique_ptr<std::uint8_t[]> flags;
    std::unique_ptr<int[]> slot;      // where TOUCHED: the place of its residuals
    std::deque<Residuals> residuals;  // of this round's touched vertices
    int lastStamp = 0;                // the last stamp a flow gave
    bool fresh = true;                // no search started yet

private:
    std::vector<double> edgeCapacity_;
    std::unique_ptr<std::uint32_t[]> colour_;  // B | G << 8 | R << 16, frame included
};

// Every vertex as GCGraph::maxFlow starts it from `start` (a root of the source tree where its
// weight is > 0, of the sink tree where < 0, else free), INTERIOR flagged; the capacities as the
// image gives them.
void startSearch(GridGraph& graph, const StartWeights& start);

// The squared colour distances between each pixel of `image` and its left, up-left, up and
// up-right neighbours, summed (an exact integer) on OpenCV's threads.
std::int64_t neighbourDistanceSum(const cv::Mat& image);

// grabCut's edge capacity for each squared colour distance between neighbours, straight then
// diagonal: gamma * exp(-beta * distance), and that / sqrt(2), for an image of `size` whose
// neighbourDistanceSum is `distanceSum`.
std::vector<double> edgeCapacities(std::int64_t distanceSum, cv::Size size);

}  // namespace plantscan::section
