// OpenCV's GCGraph as grabCut builds it, over the pixel grid: each pixel a vertex with edges to
// its eight neighbours, the edges implicit. A frame of idle vertices round the image stands for
// missing neighbours: their edges have no capacity and they never join a tree, which is how
// GCGraph treats edges it does not have. The graph is made once and reset for each round,
// writing only what the last flow changed.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
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

// Vertex::flags. In the active queue the flow starts with (it has a terminal weight); in the
// part of the queue that grows as the flow runs; capacities changed since they were set; its
// terminal weight changed by the flow, and held in GridGraph::weight.
inline constexpr std::uint8_t STARTS_ACTIVE = 1;
inline constexpr std::uint8_t QUEUED = 2;
inline constexpr std::uint8_t TOUCHED = 4;
inline constexpr std::uint8_t WEIGHED = 8;
// A vertex of the starting queue whose neighbours were all roots of its own tree when the flow
// started: while they stay so, growing the trees from it changes nothing, and the flow passes
// it by. A root that loses its terminal takes the flag off itself and its neighbours; one that
// keeps it to the end of the flow is still as a reset would set it.
inline constexpr std::uint8_t INTERIOR = 16;

// A vertex's search state: GCGraph::Vtx's but for its weight and queue link, in 12 bytes.
struct Vertex {
    int stamp;  // GCGraph's ts; one at or below the flow's first counts as its 0
    int dist;
    signed char parent;
    std::uint8_t tree;  // 0 source tree, 1 sink tree
    std::uint8_t flags;
};

// Residual capacities of the edges from a vertex, in direction order: one cache line.
struct alignas(64) Capacities {
    double toward[NEIGHBOURS];
};

// Each pixel's terminal weight as a flow starts (> 0 toward the source, < 0 toward the sink):
// value[index[pixel]], pixels row after row.
struct StartWeights {
    const std::vector<double>& value;
    const std::vector<std::uint32_t>& index;

    double of(std::size_t pixel) const { return value[index[pixel]]; }
};

struct GridGraph {
    // Only the frame is set: the first reset or start sets the rest.
    GridGraph(int rows, int cols);

    int at(int y, int x) const { return (y + 1) * stride + x + 1; }
    std::size_t pixelOf(int v) const {
        return static_cast<std::size_t>(v / stride - 1) * cols + (v % stride - 1);
    }

    int rows, cols, stride, vertexCount;
    int offset[NEIGHBOURS];  // from a vertex to its neighbour in each direction
    std::unique_ptr<Capacities[]> capacity;
    std::unique_ptr<double[]> weight;  // where WEIGHED
    std::unique_ptr<Vertex[]> vertex;
    int lastStamp = 0;  // the last stamp a flow gave
    bool fresh = true;  // no reset or start yet
};

// Every vertex as GCGraph::maxFlow starts it from `start` (a root of the source tree where its
// weight is > 0, of the sink tree where < 0, else free), INTERIOR flagged. The capacities are
// the caller's: before the first start, every image vertex's, 0 toward the frame.
void startSearch(GridGraph& graph, const StartWeights& start);

// grabCut's edge capacity for each squared colour distance between neighbours, straight then
// diagonal: gamma * exp(-beta * distance), and that / sqrt(2).
std::vector<double> edgeCapacities(const cv::Mat& image);

// grabCut's graph for a round: startSearch, and the capacities of `image` (from edgeCapacity)
// set where the last flow changed them (everywhere the first time).
void resetGraph(GridGraph& graph, const StartWeights& start, const cv::Mat& image,
                const std::vector<double>& edgeCapacity);

}  // namespace plantscan::section
