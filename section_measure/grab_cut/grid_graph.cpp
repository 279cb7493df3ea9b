#include "section_measure/grab_cut/grid_graph.h"

#include "section_measure/grab_cut/input_checks.h"
#include "section_measure/grab_cut/row_stripes.h"

#include <climits>
#include <cmath>
#include <limits>
#include <utility>

namespace plantscan::section {

namespace {

constexpr double GAMMA = 50;
constexpr int LARGEST_SQUARED_DISTANCE = 3 * 255 * 255;

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

// As GCGraph reads a weight: a NaN one (a colour impossible in both models) is a source root.
signed char signOf(double w) { return w < 0 ? -1 : w != 0 ? 1 : 0; }

// Three rows at a time of the signs of the start weights, and of the sign each pixel shares
// with its left and right neighbours (0 where they differ): what INTERIOR is made of.
class SignRows {
public:
    // `signOfIndex`: the sign of each start weight.
    SignRows(const std::vector<signed char>& signOfIndex, const StartWeights& start, int cols)
        : signOfIndex_(signOfIndex.data()),
          index_(start.index.data()),
          cols_(cols),
          sign_(3, std::vector<signed char>(cols)),
          shared_(3, std::vector<signed char>(cols)) {}

    void load(int y) {
        signed char* sign = sign_[y % 3].data();
        signed char* shared = shared_[y % 3].data();
        const std::uint32_t* index = index_ + static_cast<std::size_t>(y) * cols_;
        for (int x = 0; x < cols_; ++x) sign[x] = signOfIndex_[index[x]];
        for (int x = 0; x < cols_; ++x) {
            const signed char s = sign[x];
            const bool same = (x == 0 || sign[x - 1] == s) && (x + 1 == cols_ || sign[x + 1] == s);
            shared[x] = same ? s : 0;
        }
    }
    const signed char* sign(int y) const { return sign_[y % 3].data(); }
    const signed char* shared(int y) const { return shared_[y % 3].data(); }

private:
    const signed char* signOfIndex_;
    const std::uint32_t* index_;
    int cols_;
    std::vector<std::vector<signed char>> sign_, shared_;
};

// Sets each vertex of rows [y0, y1) as the flow starts, loading the signs of the rows around.
void startRows(GridGraph& graph, const std::vector<signed char>& signOfIndex,
               const StartWeights& start, int y0, int y1) {
    const int rows = graph.rows, cols = graph.cols;
    const bool fresh = graph.fresh;
    SignRows signs(signOfIndex, start, cols);
    if (y0 > 0) signs.load(y0 - 1);
    signs.load(y0);
    for (int y = y0; y < y1; ++y) {
        if (y + 1 < rows) signs.load(y + 1);
        const signed char* sign = signs.sign(y);
        const signed char* row = signs.shared(y);
        const signed char* above = y > 0 ? signs.shared(y - 1) : nullptr;
        const signed char* below = y + 1 < rows ? signs.shared(y + 1) : nullptr;
        Vertex* vertex = &graph.vertex[graph.at(y, 0)];
        std::uint8_t* flags = &graph.flags[graph.at(y, 0)];
        for (int x = 0; x < cols; ++x) {
            const signed char s = sign[x];
            const signed char r = row[x];
            const bool interior = r != 0 && (!above || above[x] == r) && (!below || below[x] == r);
            const std::uint8_t start =
                static_cast<std::uint8_t>((s != 0 ? STARTS_ACTIVE : 0) |
                                          (s < 0 ? STARTS_IN_SINK : 0) | (interior ? INTERIOR : 0));
            // A vertex the last flow left interior, interior again in the same tree, is set.
            if (!fresh && interior && flags[x] == start) continue;
            Vertex& v = vertex[x];
            v.parent = s != 0 ? TERMINAL : FREE;
            v.tree = s < 0;
            v.dist = 1;
            if (fresh) v.stamp = 0;
            flags[x] = start;
        }
    }
}

std::vector<signed char> signsOf(const std::vector<double>& value) {
    std::vector<signed char> sign(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) sign[i] = signOf(value[i]);
    return sign;
}

}  // namespace

GridGraph::GridGraph(const cv::Mat& image, std::vector<double> edgeCapacity)
    : rows(image.rows),
      cols(image.cols),
      stride(image.cols + 2),
      edgeCapacity_(std::move(edgeCapacity)) {
    const std::int64_t vertices = static_cast<std::int64_t>(rows + 2) * (cols + 2);
    requireThat(rows > 0 && cols > 0 && vertices < INT_MAX / 2, "image too large");
    vertexCount = static_cast<int>(vertices);
    // Left unset, so that the first start is the first to touch the pages, on every thread; a
    // slot is read only where TOUCHED.
    vertex.reset(new Vertex[vertices]);
    flags.reset(new std::uint8_t[vertices]);
    slot.reset(new int[vertices]);
    colour_.reset(new std::uint32_t[vertices]);
    for (int d = 0; d < NEIGHBOURS; ++d) offset[d] = DY[d] * stride + DX[d];
    forRowStripes(rows, [&](int, int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* pixel = image.ptr<uchar>(y);
            std::uint32_t* colour = &colour_[at(y, 0)];
            for (int x = 0; x < cols; ++x, pixel += 3)
                colour[x] =
                    pixel[0] | (std::uint32_t{pixel[1]} << 8) | (std::uint32_t{pixel[2]} << 16);
        }
    });
    const auto setFrame = [&](int v) {
        vertex[v] = Vertex{0, 0, FREE, 0};
        flags[v] = FRAME;
        colour_[v] = 0;
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
    graph.residuals.clear();
    const std::vector<signed char> signOfIndex = signsOf(start.value);
    forRowStripes(graph.rows,
                  [&](int, int y0, int y1) { startRows(graph, signOfIndex, start, y0, y1); });
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

}  // namespace plantscan::section
