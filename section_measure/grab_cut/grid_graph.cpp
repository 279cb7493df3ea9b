#include "section_measure/grab_cut/grid_graph.h"

#include "section_measure/grab_cut/input_checks.h"
#include "section_measure/grab_cut/row_stripes.h"

#include <climits>
#include <cmath>
#include <limits>

namespace plantscan::section {

namespace {

constexpr double GAMMA = 50;
constexpr int LARGEST_SQUARED_DISTANCE = 3 * 255 * 255;
constexpr bool DIAGONAL[NEIGHBOURS] = {true, false, true, false, true, false, true, false};

// grabCut's beta: 1 / (2 * mean squared colour distance between neighbours), each pair once.
// The sum is of integers, exact in any order.
double neighbourBeta(const cv::Mat& image) {
    std::vector<std::int64_t> partial(MAX_ROW_STRIPES, 0);
    auto squared = [](const uchar* a, const uchar* b) {
        const std::int64_t d0 = a[0] - b[0], d1 = a[1] - b[1], d2 = a[2] - b[2];
        return d0 * d0 + d1 * d1 + d2 * d2;
    };
    const int stripes = forRowStripes(image.rows, [&](int s, int y0, int y1) {
        std::int64_t sum = 0;
        for (int y = y0; y < y1; ++y) {
            const uchar* row = image.ptr<uchar>(y);
            const uchar* up = y > 0 ? image.ptr<uchar>(y - 1) : nullptr;
            for (int x = 0; x < image.cols; ++x) {
                const uchar* c = row + 3 * x;
                if (x > 0) sum += squared(c, c - 3);
                if (up) {
                    if (x > 0) sum += squared(c, up + 3 * (x - 1));
                    sum += squared(c, up + 3 * x);
                    if (x < image.cols - 1) sum += squared(c, up + 3 * (x + 1));
                }
            }
        }
        partial[s] = sum;
    });
    std::int64_t total = 0;
    for (int s = 0; s < stripes; ++s) total += partial[s];
    const double beta = static_cast<double>(total);
    if (beta <= std::numeric_limits<double>::epsilon()) return 0;
    const std::int64_t cols = image.cols, rows = image.rows;
    const std::int64_t edges = 4 * cols * rows - 3 * cols - 3 * rows + 2;
    return 1.f / (2 * beta / static_cast<double>(edges));
}

// The capacity of each edge from (y, x): 0 toward the frame.
void setCapacities(const uchar* const rowsAround[3], int x, int cols, bool allNeighbours,
                   const std::vector<double>& edgeCapacity, double* cap) {
    const uchar* c = rowsAround[1] + 3 * x;
    for (int d = 0; d < NEIGHBOURS; ++d) {
        const uchar* row = rowsAround[1 + DY[d]];
        const int nx = x + DX[d];
        if (!allNeighbours && (!row || nx < 0 || nx >= cols)) {
            cap[d] = 0;
            continue;
        }
        const uchar* o = row + 3 * nx;
        const int d0 = c[0] - o[0], d1 = c[1] - o[1], d2 = c[2] - o[2];
        cap[d] = edgeCapacity[2 * (d0 * d0 + d1 * d1 + d2 * d2) + DIAGONAL[d]];
    }
}

// As GCGraph reads a weight: a NaN one (a colour impossible in both models) is a source root.
signed char signOf(double w) { return w < 0 ? -1 : w != 0 ? 1 : 0; }

// Three rows at a time of the signs of the start weights, and of the sign each pixel shares
// with its left and right neighbours (0 where they differ): what INTERIOR is made of.
class SignRows {
public:
    SignRows(const StartWeights& start, int cols)
        : start_(start),
          cols_(cols),
          sign_(3, std::vector<signed char>(cols)),
          shared_(3, std::vector<signed char>(cols)) {}

    void load(int y) {
        std::vector<signed char>& sign = sign_[y % 3];
        std::vector<signed char>& shared = shared_[y % 3];
        const std::size_t first = static_cast<std::size_t>(y) * cols_;
        for (int x = 0; x < cols_; ++x) sign[x] = signOf(start_.of(first + x));
        for (int x = 0; x < cols_; ++x) {
            const signed char s = sign[x];
            const bool same = (x == 0 || sign[x - 1] == s) && (x + 1 == cols_ || sign[x + 1] == s);
            shared[x] = same ? s : 0;
        }
    }
    const signed char* sign(int y) const { return sign_[y % 3].data(); }
    const signed char* shared(int y) const { return shared_[y % 3].data(); }

private:
    const StartWeights& start_;
    int cols_;
    std::vector<std::vector<signed char>> sign_, shared_;
};

// Sets each vertex of rows [y0, y1) as the flow starts, after resetCapacities(y, fresh) for
// its row, loading the signs of the rows around.
template <class ResetCapacities>
void startRows(GridGraph& graph, const StartWeights& start, int y0, int y1,
               ResetCapacities resetCapacities) {
    const int rows = graph.rows, cols = graph.cols;
    const bool fresh = graph.fresh;
    SignRows signs(start, cols);
    if (y0 > 0) signs.load(y0 - 1);
    signs.load(y0);
    for (int y = y0; y < y1; ++y) {
        if (y + 1 < rows) signs.load(y + 1);
        resetCapacities(y, fresh);
        const signed char* sign = signs.sign(y);
        const signed char* row = signs.shared(y);
        const signed char* above = y > 0 ? signs.shared(y - 1) : nullptr;
        const signed char* below = y + 1 < rows ? signs.shared(y + 1) : nullptr;
        Vertex* vertex = &graph.vertex[graph.at(y, 0)];
        for (int x = 0; x < cols; ++x) {
            const signed char s = sign[x];
            const signed char r = row[x];
            const bool interior = r != 0 && (!above || above[x] == r) && (!below || below[x] == r);
            Vertex& v = vertex[x];
            // A vertex the last flow left interior, interior again in the same tree, is set.
            if (!fresh && interior && v.flags == (STARTS_ACTIVE | INTERIOR) && v.tree == (s < 0))
                continue;
            v.parent = s != 0 ? TERMINAL : FREE;
            v.tree = s < 0;
            v.dist = 1;
            v.flags =
                static_cast<std::uint8_t>((s != 0 ? STARTS_ACTIVE : 0) | (interior ? INTERIOR : 0));
            if (fresh) v.stamp = 0;
        }
    }
}

}  // namespace

GridGraph::GridGraph(int rows_, int cols_) : rows(rows_), cols(cols_), stride(cols_ + 2) {
    const std::int64_t vertices = static_cast<std::int64_t>(rows + 2) * (cols + 2);
    requireThat(rows > 0 && cols > 0 && vertices < INT_MAX / 2, "image too large");
    vertexCount = static_cast<int>(vertices);
    // Left unset, so that the first reset is the first to touch the pages, on every thread.
    capacity.reset(new Capacities[vertices]);
    weight.reset(new double[vertices]);
    vertex.reset(new Vertex[vertices]);
    for (int d = 0; d < NEIGHBOURS; ++d) offset[d] = DY[d] * stride + DX[d];
    const auto setFrame = [&](int v) {
        vertex[v] = Vertex{0, 0, FREE, 0, 0};
        for (double& c : capacity[v].toward) c = 0;
    };
    for (int x = 0; x < stride; ++x) {
        setFrame(x);
        setFrame((rows + 1) * stride + x);
    }
    for (int y = 1; y <= rows; ++y) {
        setFrame(y * stride);
        setFrame(y * stride + cols + 1);
    }
}

void startSearch(GridGraph& graph, const StartWeights& start) {
    forRowStripes(graph.rows,
                  [&](int, int y0, int y1) { startRows(graph, start, y0, y1, [](int, bool) {}); });
    graph.fresh = false;
}

std::vector<double> edgeCapacities(const cv::Mat& image) {
    const double beta = neighbourBeta(image);
    const double gammaDivSqrt2 = GAMMA / std::sqrt(2.0f);
    std::vector<double> capacity(2 * (LARGEST_SQUARED_DISTANCE + 1));
    cv::parallel_for_(
        cv::Range(0, LARGEST_SQUARED_DISTANCE + 1),
        [&](const cv::Range& range) {
            for (int s = range.start; s < range.end; ++s) {
                const double factor = std::exp(-beta * static_cast<double>(s));
                capacity[2 * s] = GAMMA * factor;
                capacity[2 * s + 1] = gammaDivSqrt2 * factor;
            }
        },
        16);
    return capacity;
}

void resetGraph(GridGraph& graph, const StartWeights& start, const cv::Mat& image,
                const std::vector<double>& edgeCapacity) {
    const int rows = graph.rows, cols = graph.cols;
    forRowStripes(rows, [&](int, int y0, int y1) {
        startRows(graph, start, y0, y1, [&](int y, bool fresh) {
            // Capacities depend on the image alone: only those the last flow changed need
            // setting again.
            const uchar* rowsAround[3] = {y > 0 ? image.ptr<uchar>(y - 1) : nullptr,
                                          image.ptr<uchar>(y),
                                          y + 1 < rows ? image.ptr<uchar>(y + 1) : nullptr};
            const bool inner = y > 0 && y + 1 < rows;
            const int first = graph.at(y, 0);
            for (int x = 0; x < cols; ++x) {
                if (fresh || (graph.vertex[first + x].flags & TOUCHED))
                    setCapacities(rowsAround, x, cols, inner && x > 0 && x + 1 < cols, edgeCapacity,
                                  graph.capacity[first + x].toward);
            }
        });
    });
    graph.fresh = false;
}

}  // namespace plantscan::section
