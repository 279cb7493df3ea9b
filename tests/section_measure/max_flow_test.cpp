// The grid max-flow: known cuts of small grids, the flow of a plain reference max-flow on random
// grids, and on the same grids the very cut of OpenCV's GCGraph, vertex for vertex.
#include "section_measure/grab_cut/max_flow.h"
#include "section_measure/grab_cut/grid_graph.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc/detail/gcgraph.hpp>

#include <algorithm>
#include <limits>
#include <queue>
#include <vector>

using namespace plantscan::section;

namespace {

// A grid's terminal weights (> 0 from the source, < 0 to the sink) and the capacity of each
// undirected edge, the same both ways: right, down-right, down, down-left of each pixel.
struct Grid {
    int rows, cols;
    std::vector<double> weight;
    std::vector<double> edge;  // pixel * 4 + k, k as in STEPS

    double& edgeAt(int y, int x, int k) { return edge[(y * cols + x) * 4 + k]; }
};
constexpr int STEPS[4][2] = {{0, 1}, {1, 1}, {1, 0}, {1, -1}};  // (dy, dx)

bool inside(const Grid& g, int y, int x) { return y >= 0 && y < g.rows && x >= 0 && x < g.cols; }

struct Cut {
    double flow;
    std::vector<bool> sourceSide;
};

Cut cutWithOurs(const Grid& g) {
    GridGraph graph(g.rows, g.cols);
    for (int y = 0; y < g.rows; ++y) {
        for (int x = 0; x < g.cols; ++x) {
            for (int d = 0; d < NEIGHBOURS; ++d) {
                const int ny = y + DY[d], nx = x + DX[d];
                double w = 0;
                if (inside(g, ny, nx)) {
                    for (int k = 0; k < 4; ++k) {
                        if (STEPS[k][0] == DY[d] && STEPS[k][1] == DX[d])
                            w = g.edge[(y * g.cols + x) * 4 + k];
                        if (STEPS[k][0] == -DY[d] && STEPS[k][1] == -DX[d])
                            w = g.edge[(ny * g.cols + nx) * 4 + k];
                    }
                }
                graph.capacity[graph.at(y, x)].toward[d] = w;
            }
        }
    }
    std::vector<std::uint32_t> index(g.weight.size());
    for (std::size_t i = 0; i < index.size(); ++i) index[i] = static_cast<std::uint32_t>(i);
    const StartWeights start{g.weight, index};
    startSearch(graph, start);
    Cut cut{maxFlow(graph, start), {}};
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.cols; ++x)
            cut.sourceSide.push_back(inSourceSegment(graph, graph.at(y, x)));
    return cut;
}

// As cv::grabCut builds its GCGraph: vertices row after row, each with its edges to the left,
// up-left, up and up-right neighbours.
Cut cutWithGCGraph(const Grid& g) {
    cv::detail::GCGraph<double> graph(g.rows * g.cols, 8 * g.rows * g.cols);
    for (int y = 0; y < g.rows; ++y) {
        for (int x = 0; x < g.cols; ++x) {
            const int v = graph.addVtx();
            const double w = g.weight[v];
            graph.addTermWeights(v, std::max(w, 0.0), std::max(-w, 0.0));
            // left, up-left, up, up-right: the edges of those pixels right, down-right, down,
            // down-left.
            const int from[4][3] = {{0, -1, 0}, {-1, -1, 1}, {-1, 0, 2}, {-1, 1, 3}};
            for (const auto& step : from) {
                const int ny = y + step[0], nx = x + step[1];
                if (!inside(g, ny, nx)) continue;
                const double c = g.edge[(ny * g.cols + nx) * 4 + step[2]];
                graph.addEdges(v, ny * g.cols + nx, c, c);
            }
        }
    }
    Cut cut{graph.maxFlow(), {}};
    for (int v = 0; v < g.rows * g.cols; ++v) cut.sourceSide.push_back(graph.inSourceSegment(v));
    return cut;
}

// Edmonds and Karp's max-flow on the same network, capacities as given.
double referenceFlow(const Grid& g) {
    const int n = g.rows * g.cols, source = n, sink = n + 1;
    std::vector<std::vector<double>> cap(n + 2, std::vector<double>(n + 2, 0));
    for (int v = 0; v < n; ++v) {
        if (g.weight[v] > 0) cap[source][v] = g.weight[v];
        if (g.weight[v] < 0) cap[v][sink] = -g.weight[v];
        for (int k = 0; k < 4; ++k) {
            const int y = v / g.cols + STEPS[k][0], x = v % g.cols + STEPS[k][1];
            if (!inside(g, y, x)) continue;
            cap[v][y * g.cols + x] += g.edge[v * 4 + k];
            cap[y * g.cols + x][v] += g.edge[v * 4 + k];
        }
    }
    double flow = 0;
    for (;;) {
        std::vector<int> from(n + 2, -1);
        std::queue<int> queue;
        queue.push(source);
        from[source] = source;
        while (!queue.empty() && from[sink] < 0) {
            const int v = queue.front();
            queue.pop();
            for (int u = 0; u < n + 2; ++u) {
                if (from[u] < 0 && cap[v][u] > 0) {
                    from[u] = v;
                    queue.push(u);
                }
            }
        }
        if (from[sink] < 0) return flow;
        double least = std::numeric_limits<double>::infinity();
        for (int v = sink; v != source; v = from[v]) least = std::min(least, cap[from[v]][v]);
        for (int v = sink; v != source; v = from[v]) {
            cap[from[v]][v] -= least;
            cap[v][from[v]] += least;
        }
        flow += least;
    }
}

Grid emptyGrid(int rows, int cols) {
    return {rows, cols, std::vector<double>(rows * cols, 0.0),
            std::vector<double>(rows * cols * 4, 0.0)};
}

}  // namespace

TEST(GridMaxFlow, CutsSmallGridsWhereTheirLeastEdgesAre) {
    // Two pixels: the edge between them is the least of source 5, edge 2, sink 3.
    Grid pair = emptyGrid(1, 2);
    pair.weight = {5, -3};
    pair.edgeAt(0, 0, 0) = 2;
    Cut cut = cutWithOurs(pair);
    EXPECT_EQ(cut.flow, 2);
    EXPECT_EQ(cut.sourceSide, (std::vector<bool>{true, false}));

    // A row of three: the source's own weight (1) is the least.
    Grid row = emptyGrid(1, 3);
    row.weight = {1, 0, -4};
    row.edgeAt(0, 0, 0) = 6;
    row.edgeAt(0, 1, 0) = 3;
    cut = cutWithOurs(row);
    EXPECT_EQ(cut.flow, 1);
    EXPECT_EQ(cut.sourceSide, (std::vector<bool>{false, false, false}));

    // A 2 x 2 square, sources on the left, sinks on the right: the flow crosses by the right
    // edges and the two diagonals (1 + 2 + 4 + 8), less than either column's terminals.
    Grid square = emptyGrid(2, 2);
    square.weight = {20, -20, 20, -20};
    square.edgeAt(0, 0, 0) = 1;  // top right
    square.edgeAt(1, 0, 0) = 2;  // bottom right
    square.edgeAt(0, 0, 1) = 4;  // down-right
    square.edgeAt(0, 1, 3) = 8;  // down-left
    square.edgeAt(0, 0, 2) = 100;
    square.edgeAt(0, 1, 2) = 100;
    cut = cutWithOurs(square);
    EXPECT_EQ(cut.flow, 15);
    EXPECT_EQ(cut.sourceSide, (std::vector<bool>{true, false, true, false}));
}

// Integer capacities keep every sum exact: the flows are equal, not close. Weights of one sign
// over whole regions, as a scan's, leave most vertices interior, which the flow passes by.
TEST(GridMaxFlow, SameFlowAsAReferenceAndSameCutAsGCGraphOnRandomGrids) {
    cv::RNG rng(4242);
    for (int trial = 0; trial < 300; ++trial) {
        Grid g = emptyGrid(rng.uniform(1, 18), rng.uniform(2, 18));  // GCGraph needs an edge
        const int split = rng.uniform(0, g.cols + 1);
        const int noise = rng.uniform(0, 4);
        for (int y = 0; y < g.rows; ++y) {
            for (int x = 0; x < g.cols; ++x) {
                double w = rng.uniform(0, 30) * (x < split ? 1 : -1);
                if (rng.uniform(0, 10) < noise) w = rng.uniform(-30, 31);
                g.weight[y * g.cols + x] = w;
                for (int k = 0; k < 4; ++k)
                    g.edgeAt(y, x, k) = rng.uniform(0, 3) ? rng.uniform(0, 12) : 0;
            }
        }
        const Cut ours = cutWithOurs(g);
        const Cut theirs = cutWithGCGraph(g);
        ASSERT_EQ(ours.flow, referenceFlow(g)) << "trial " << trial;
        ASSERT_EQ(ours.flow, theirs.flow) << "trial " << trial;
        ASSERT_EQ(ours.sourceSide, theirs.sourceSide) << "trial " << trial;
    }
}
