#include "section_measure/grab_cut/grid_graph.h"

#include "platform/machine.h"
#include "section_measure/grab_cut/input_checks.h"
#include "section_measure/grab_cut/row_stripes.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace plantscan::section {

namespace {

constexpr double GAMMA = 50;
constexpr int LARGEST_SQUARED_DISTANCE = 3 * 255 * 255;

// grabCut's beta: 1 / (2 * mean squared colour distance between neighbours), each pair once.
double neighbourBeta(std::int64_t distanceSum, cv::Size size) {
    const double beta = static_cast<double>(distanceSum);
    if (beta <= std::numeric_limits<double>::epsilon()) return 0;
    const std::int64_t cols = size.width, rows = size.height;
    const std::int64_t edges = 4 * cols * rows - 3 * cols - 3 * rows + 2;
    return 1.f / (2 * beta / static_cast<double>(edges));
}

// Three rows at a time of the start flags each pixel's weight gives (STARTS_ACTIVE and
// STARTS_IN_SINK), and of those each pixel shares with its left and right neighbours (0 where
// they differ): what INTERIOR is made of.
class StartRows {
public:
    StartRows(const StartWeights& start, int cols)
        : startOfIndex_(start.flags.data()),
          index_(start.index.data()),
          cols_(cols),
          own_(3, std::vector<std::uint8_t>(cols)),
          shared_(3, std::vector<std::uint8_t>(cols)) {}

    void load(int y) {
        std::uint8_t* own = own_[y % 3].data();
        std::uint8_t* shared = shared_[y % 3].data();
        const std::uint32_t* index = index_ + static_cast<std::size_t>(y) * cols_;
        const std::uint8_t* startOfIndex = startOfIndex_;  // a local: the stores may alias members
        const int cols = cols_;
        for (int x = 0; x < cols; ++x) own[x] = startOfIndex[index[x]];
        // A missing neighbour does not count: the ends of the row compare with themselves.
        shared[0] = cols_ == 1 || own[1] == own[0] ? own[0] : 0;
        for (int x = 1; x + 1 < cols_; ++x)
            shared[x] = (own[x - 1] == own[x]) & (own[x + 1] == own[x]) ? own[x] : 0;
        if (cols_ > 1) shared[cols_ - 1] = own[cols_ - 2] == own[cols_ - 1] ? own[cols_ - 1] : 0;
    }
    const std::uint8_t* own(int y) const { return own_[y % 3].data(); }
    const std::uint8_t* shared(int y) const { return shared_[y % 3].data(); }

private:
    const std::uint8_t* startOfIndex_;
    const std::uint32_t* index_;
    int cols_;
    std::vector<std::vector<std::uint8_t>> own_, shared_;
};

// Sets each vertex of rows [y0, y1) as the flow starts, loading the start flags of the rows
// around.
void startRows(GridGraph& graph, const StartWeights& start, int y0, int y1) {
    const int rows = graph.rows, cols = graph.cols;
    const bool fresh = graph.fresh;
    StartRows flagRows(start, cols);
    std::vector<std::uint8_t> wanted(cols);
    if (y0 > 0) flagRows.load(y0 - 1);
    flagRows.load(y0);
    for (int y = y0; y < y1; ++y) {
        if (y + 1 < rows) flagRows.load(y + 1);
        const std::uint8_t* own = flagRows.own(y);
        const std::uint8_t* row = flagRows.shared(y);
        // A missing row does not count either.
        const std::uint8_t* above = y > 0 ? flagRows.shared(y - 1) : row;
        const std::uint8_t* below = y + 1 < rows ? flagRows.shared(y + 1) : row;
        for (int x = 0; x < cols; ++x) {
            const std::uint8_t r = row[x];
            const bool interior = (r != 0) & (above[x] == r) & (below[x] == r);
            wanted[x] = static_cast<std::uint8_t>(own[x] | (interior ? INTERIOR : 0));
        }
        Vertex* vertex = &graph.vertex[graph.at(y, 0)];
        std::uint8_t* flags = &graph.flags[graph.at(y, 0)];
        const auto set = [&](int x) {
            // A vertex the last flow left interior, interior again in the same tree, is set.
            if (!fresh && (wanted[x] & INTERIOR) && flags[x] == wanted[x]) return;
            Vertex& v = vertex[x];
            v.parent = (wanted[x] & STARTS_ACTIVE) ? TERMINAL : FREE;
            v.tree = (wanted[x] & STARTS_IN_SINK) != 0;
            v.dist = 1;
            if (fresh) v.stamp = 0;
            flags[x] = wanted[x];
        };
        int x = 0;
        if (!fresh) {
            // Eight at a time where all are set already.
            constexpr std::uint64_t ALL_INTERIOR = 0x0101010101010101ULL * INTERIOR;
            for (; x + 8 <= cols; x += 8) {
                std::uint64_t have, want;
                std::memcpy(&have, flags + x, sizeof have);
                std::memcpy(&want, wanted.data() + x, sizeof want);
                if (have == want && (want & ALL_INTERIOR) == ALL_INTERIOR) continue;
                for (int k = 0; k < 8; ++k) set(x + k);
            }
        }
        for (; x < cols; ++x) set(x);
    }
}

}  // namespace

std::int64_t neighbourDistanceSum(const cv::Mat& image) {
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
    return total;
}

GridGraph::GridGraph(int rows, int cols) : rows(rows), cols(cols), stride(cols + 2) {
    const std::int64_t vertices = static_cast<std::int64_t>(rows + 2) * (cols + 2);
    requireThat(rows > 0 && cols > 0 && vertices < INT_MAX / 2, "image too large");
    vertexCount = static_cast<int>(vertices);
    // Left unset, so that the passes that fill them are the first to touch the pages, on every
    // thread; a slot is read only where TOUCHED.
    vertex.reset(new Vertex[vertices]);
    flags.reset(new std::uint8_t[vertices]);
    slot.reset(new int[vertices]);
    colour_.reset(new std::uint32_t[vertices]);
    // Not the search states, whose frame is set with the rows and the rest at the first start (in
    // large pages, the frame alone would hold them all already), nor the slots, of which a flow
    // writes only the few it touches.
    platform::adviseLargePages(flags.get(), vertices);
    platform::adviseLargePages(colour_.get(), sizeof(std::uint32_t) * vertices);
    for (int d = 0; d < NEIGHBOURS; ++d) offset[d] = DY[d] * stride + DX[d];
}

GridGraph::GridGraph(const cv::Mat& image, std::vector<double> edgeCapacity)
    : GridGraph(image.rows, image.cols) {
    setRows(image, 0, rows);
    setEdgeCapacities(std::move(edgeCapacity));
}

void GridGraph::setRows(const cv::Mat& image, int y0, int y1) {
    const auto setFrame = [&](int v) {
        vertex[v] = Vertex{0, 0, FREE, 0};
        flags[v] = FRAME;
        colour_[v] = 0;
    };
    if (y0 == 0)
        for (int x = 0; x < stride; ++x) setFrame(x);
    for (int y = y0; y < y1; ++y) {
        const uchar* pixel = image.ptr<uchar>(y);
        std::uint32_t* colour = &colour_[at(y, 0)];
        for (int x = 0; x < cols; ++x, pixel += 3)
            colour[x] = pixel[0] | (std::uint32_t{pixel[1]} << 8) | (std::uint32_t{pixel[2]} << 16);
        setFrame(at(y, -1));
        setFrame(at(y, cols));
    }
    if (y1 == rows)
        for (int x = 0; x < stride; ++x) setFrame((rows + 1) * stride + x);
}

void startSearch(GridGraph& graph, const StartWeights& start) {
    graph.residuals.clear();
    forRowStripes(graph.rows, [&](int, int y0, int y1) { startRows(graph, start, y0, y1); });
    graph.fresh = false;
}

std::vector<double> edgeCapacities(std::int64_t distanceSum, cv::Size size) {
    const double beta = neighbourBeta(distanceSum, size);
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
