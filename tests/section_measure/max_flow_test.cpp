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

// A grid's terminal weights (> 0 from the source, < 0 to the sink), and its edges' capacities
// as grabCut gives them: table[2 s + diagonal] between colours at a squared distance s.
struct Grid {
    cv::Mat image;
    std::vector<double> weight;
    std::vector<double> table;

    int rows() const { return image.rows; }
    int cols() const { return image.cols; }
    double capacity(int p, int q) const {
        const cv::Vec3b a = image.at<cv::Vec3b>(p / cols(), p % cols());
        const cv::Vec3b b = image.at<cv::Vec3b>(q / cols(), q % cols());
        int squared = 0;
        for (int j = 0; j < 3; ++j) squared += (a[j] - b[j]) * (a[j] - b[j]);
        const bool diagonal = p / cols() != q / cols() && p % cols() != q % cols();
        return table[2 * squared + diagonal];
    }
};

// Blue values row after row, the other channels 0.
Grid grid(int rows, int cols, const std::vector<int>& blue, std::vector<double> weight) {
    Grid g{cv::Mat(rows, cols, CV_8UC3, cv::Scalar::all(0)), std::move(weight),
           std::vector<double>(2 * 3 * 255 * 255 + 2, 0.0)};
    for (int p = 0; p < rows * cols; ++p) g.image.at<cv::Vec3b>(p / cols, p % cols)[0] = blue[p];
    return g;
}

struct Cut {
    double flow;
    std::vector<bool> sourceSide;
};

Cut cutWithOurs(const Grid& g) {
    GridGraph graph(g.image, g.table);
    Places index(g.weight.size());
    std::vector<std::uint8_t> flags(g.weight.size());
    for (std::size_t i = 0; i < index.size(); ++i) {
        index[i] = static_cast<std::uint32_t>(i);
        flags[i] = startFlagsOf(g.weight[i]);
    }
    const StartWeights start{flags, index, [&](std::uint32_t i) { return g.weight[i]; }};
    startSearch(graph, start);
    Cut cut{maxFlow(graph, start), {}};
    for (int y = 0; y < g.rows(); ++y)
        for (int x = 0; x < g.cols(); ++x)
            cut.sourceSide.push_back(inSourceSegment(graph, graph.at(y, x)));
    return cut;
}

// As cv::grabCut builds its GCGraph: vertices row after row, each with its edges to the left,
// up-left, up and up-right neighbours.
Cut cutWithGCGraph(const Grid& g) {
    const int rows = g.rows(), cols = g.cols();
    cv::detail::GCGraph<double> graph(rows * cols, 8 * rows * cols);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            const int v = graph.addVtx();
            const double w = g.weight[v];
            graph.addTermWeights(v, std::max(w, 0.0), std::max(-w, 0.0));
            for (const auto& [dy, dx] : {std::pair{0, -1}, {-1, -1}, {-1, 0}, {-1, 1}}) {
                if (y + dy < 0 || x + dx < 0 || x + dx >= cols) continue;
                const int u = (y + dy) * cols + x + dx;
                graph.addEdges(v, u, g.capacity(v, u), g.capacity(u, v));
            }
        }
    }
    Cut cut{graph.maxFlow(), {}};
    for (int v = 0; v < rows * cols; ++v) cut.sourceSide.push_back(graph.inSourceSegment(v));
    return cut;
}

// Edmonds and Karp's max-flow on the same network.
double referenceFlow(const Grid& g) {
    const int n = g.rows() * g.cols(), source = n, sink = n + 1;
    std::vector<std::vector<double>> cap(n + 2, std::vector<double>(n + 2, 0));
    for (int v = 0; v < n; ++v) {
        if (g.weight[v] > 0) cap[source][v] = g.weight[v];
        if (g.weight[v] < 0) cap[v][sink] = -g.weight[v];
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int y = v / g.cols() + dy, x = v % g.cols() + dx;
                if ((dy || dx) && y >= 0 && y < g.rows() && x >= 0 && x < g.cols())
                    cap[v][y * g.cols() + x] = g.capacity(v, y * g.cols() + x);
            }
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

}  // namespace

TEST(GridMaxFlow, CutsSmallGridsWhereTheirLeastEdgesAre) {
    // Two pixels: the edge between them (2) is the least of source 5, edge, sink 3.
    Grid pair = grid(1, 2, {0, 1}, {5, -3});
    pair.table[2 * 1] = 2;
    Cut cut = cutWithOurs(pair);
    EXPECT_EQ(cut.flow, 2);
    EXPECT_EQ(cut.sourceSide, (std::vector<bool>{true, false}));

    // A row of three, edges 6 and 3: the source's own weight (1) is the least, and every pixel
    // ends on the sink's side.
    Grid row = grid(1, 3, {0, 1, 3}, {1, 0, -4});
    row.table[2 * 1] = 6;
    row.table[2 * 4] = 3;
    cut = cutWithOurs(row);
    EXPECT_EQ(cut.flow, 1);
    EXPECT_EQ(cut.sourceSide, (std::vector<bool>{false, false, false}));

    // A 2 x 2 square, sources on the left, sinks on the right: the flow crosses by the two
    // straight edges and the two diagonals (1 + 2 + 4 + 8), less than either column's weights.
    Grid square = grid(2, 2, {0, 1, 3, 5}, {20, -20, 20, -20});
    square.table[2 * 1] = 1;       // top: 0 to 1
    square.table[2 * 4] = 2;       // bottom: 3 to 5
    square.table[2 * 25 + 1] = 4;  // down-right: 0 to 5
    square.table[2 * 4 + 1] = 8;   // down-left: 1 to 3
    square.table[2 * 9] = 100;     // left: 0 to 3
    square.table[2 * 16] = 100;    // right: 1 to 5
    cut = cutWithOurs(square);
    EXPECT_EQ(cut.flow, 15);
    EXPECT_EQ(cut.sourceSide, (std::vector<bool>{true, false, true, false}));
}

// Integer capacities keep every sum exact: the flows are equal, not close. Weights of one sign
// over whole regions, as a scan's, leave most vertices interior, which the flow passes by.
TEST(GridMaxFlow, SameFlowAsAReferenceAndSameCutAsGCGraphOnRandomGrids) {
    cv::RNG rng(4242);
    for (int trial = 0; trial < 300; ++trial) {
        const int rows = rng.uniform(1, 18), cols = rng.uniform(2, 18);  // GCGraph needs an edge
        std::vector<int> blue(rows * cols);
        for (int& b : blue) b = rng.uniform(0, 4);
        Grid g = grid(rows, cols, blue, std::vector<double>(rows * cols));
        for (int s = 0; s <= 9; ++s) {
            for (int diagonal = 0; diagonal < 2; ++diagonal)
                g.table[2 * s + diagonal] = rng.uniform(0, 4) ? rng.uniform(1, 12) : 0;
        }
        const int split = rng.uniform(0, cols + 1);
        const int noise = rng.uniform(0, 4);
        for (int p = 0; p < rows * cols; ++p) {
            double w = rng.uniform(0, 30) * (p % cols < split ? 1 : -1);
            if (rng.uniform(0, 10) < noise) w = rng.uniform(-30, 31);
            g.weight[p] = w;
        }
        const Cut ours = cutWithOurs(g);
        const Cut theirs = cutWithGCGraph(g);
        ASSERT_EQ(ours.flow, referenceFlow(g)) << "trial " << trial;
        ASSERT_EQ(ours.flow, theirs.flow) << "trial " << trial;
        ASSERT_EQ(ours.sourceSide, theirs.sourceSide) << "trial " << trial;
    }
}
