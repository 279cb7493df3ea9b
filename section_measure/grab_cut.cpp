#include "section_measure/grab_cut.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// Identity with cv::grabCut rests on three things: the colour models use OpenCV's expressions in
// OpenCV's order (sums of 8-bit values and of their products are exact integers, so only those may
// be gathered in another order); the initial models come from the same cv::kmeans calls on the
// calling thread; and the max-flow visits vertices and edges in the order of OpenCV's GCGraph,
// whose adjacency lists hold each pixel's neighbours in the reverse order of their insertion.

namespace {

constexpr int kComponents = 5;
constexpr double kGamma = 50;
constexpr double kLambda = 9 * kGamma;
constexpr int kLargestSquaredDistance = 3 * 255 * 255;
constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

// Neighbour directions in the order GCGraph's lists visit them: down-right, down, down-left,
// right, up-right, up, up-left, left.
constexpr int kDx[8] = {1, 0, -1, 1, 1, 0, -1, -1};
constexpr int kDy[8] = {1, 1, 1, 0, -1, -1, -1, 0};
constexpr int kOpposite[8] = {6, 5, 4, 7, 2, 1, 0, 3};
constexpr bool kDiagonal[8] = {true, false, true, false, true, false, true, false};

constexpr signed char kFree = 0;
constexpr signed char kTerminal = -1;
constexpr signed char kOrphan = -2;

void require(bool condition, const char* what) {
    if (!condition) cv::error(cv::Error::StsAssert, what, "grabCutFromMask", __FILE__, __LINE__);
}

void checkInput(const cv::Mat& image, const cv::Mat& mask) {
    if (image.empty()) CV_Error(cv::Error::StsBadArg, "grabCut: no image");
    if (image.type() != CV_8UC3)
        CV_Error(cv::Error::StsBadArg, "grabCut: the image must be 8-bit, 3 channels");
    if (mask.empty()) CV_Error(cv::Error::StsBadArg, "grabCut: no mask");
    if (mask.type() != CV_8UC1)
        CV_Error(cv::Error::StsBadArg, "grabCut: the mask must be 8-bit, 1 channel");
    if (mask.size() != image.size())
        CV_Error(cv::Error::StsBadArg, "grabCut: mask and image differ in size");
    for (int y = 0; y < mask.rows; ++y) {
        const uchar* labels = mask.ptr<uchar>(y);
        for (int x = 0; x < mask.cols; ++x) {
            if (labels[x] > cv::GC_PR_FGD)
                CV_Error(cv::Error::StsBadArg,
                         "grabCut: a mask label is not one of GC_BGD to GC_PR_FGD");
        }
    }
}

bool isBackground(uchar label) { return label == cv::GC_BGD || label == cv::GC_PR_BGD; }

// Stripes of rows fixed by the image alone, so that no result depends on the thread count.
template <class Work>
int forRowStripes(int rows, Work work) {
    const int stripes = std::min(rows, 64);
    cv::parallel_for_(cv::Range(0, stripes), [&](const cv::Range& range) {
        for (int s = range.start; s < range.end; ++s) {
            const int y0 = static_cast<int>(static_cast<std::int64_t>(rows) * s / stripes);
            const int y1 = static_cast<int>(static_cast<std::int64_t>(rows) * (s + 1) / stripes);
            work(s, y0, y1);
        }
    });
    return stripes;
}

// One Gaussian's samples: count, sums and the six distinct sums of products (exact integers).
struct ComponentSums {
    std::int64_t count = 0;
    std::int64_t sum[3] = {0, 0, 0};
    std::int64_t prod[6] = {0, 0, 0, 0, 0, 0};  // 00 01 02 11 12 22

    void add(std::int64_t b, std::int64_t g, std::int64_t r, std::int64_t times = 1) {
        count += times;
        sum[0] += b * times;
        sum[1] += g * times;
        sum[2] += r * times;
        prod[0] += b * b * times;
        prod[1] += b * g * times;
        prod[2] += b * r * times;
        prod[3] += g * g * times;
        prod[4] += g * r * times;
        prod[5] += r * r * times;
    }
    void add(const ComponentSums& other) {
        count += other.count;
        for (int i = 0; i < 3; ++i) sum[i] += other.sum[i];
        for (int i = 0; i < 6; ++i) prod[i] += other.prod[i];
    }
};

struct ModelSums {
    ComponentSums component[kComponents];
};

// OpenCV's GMM of five Gaussians, with its arithmetic.
class ColourModel {
public:
    void learn(const ModelSums& sums) {
        std::int64_t total = 0;
        for (int ci = 0; ci < kComponents; ++ci) total += sums.component[ci].count;
        for (int ci = 0; ci < kComponents; ++ci) {
            const ComponentSums& s = sums.component[ci];
            if (s.count == 0) {
                coefs_[ci] = 0;
                continue;
            }
            const double n = static_cast<double>(s.count);
            const double invN = 1.0 / n;
            coefs_[ci] = n / static_cast<double>(total);
            double* m = mean_[ci];
            m[0] = static_cast<double>(s.sum[0]) * invN;
            m[1] = static_cast<double>(s.sum[1]) * invN;
            m[2] = static_cast<double>(s.sum[2]) * invN;
            const double p00 = static_cast<double>(s.prod[0]), p01 = static_cast<double>(s.prod[1]),
                         p02 = static_cast<double>(s.prod[2]), p11 = static_cast<double>(s.prod[3]),
                         p12 = static_cast<double>(s.prod[4]), p22 = static_cast<double>(s.prod[5]);
            double* c = cov_[ci];
            c[0] = p00 * invN - m[0] * m[0];
            c[1] = p01 * invN - m[0] * m[1];
            c[2] = p02 * invN - m[0] * m[2];
            c[3] = p01 * invN - m[1] * m[0];
            c[4] = p11 * invN - m[1] * m[1];
            c[5] = p12 * invN - m[1] * m[2];
            c[6] = p02 * invN - m[2] * m[0];
            c[7] = p12 * invN - m[2] * m[1];
            c[8] = p22 * invN - m[2] * m[2];
            invertCovariance(ci, 0.01);
        }
    }

    double coef(int ci) const { return coefs_[ci]; }

    double density(int ci, const double colour[3]) const {
        if (!(coefs_[ci] > 0)) return 0;
        const double d0 = colour[0] - mean_[ci][0];
        const double d1 = colour[1] - mean_[ci][1];
        const double d2 = colour[2] - mean_[ci][2];
        const double(&ic)[3][3] = inverse_[ci];
        const double mult = d0 * (d0 * ic[0][0] + d1 * ic[1][0] + d2 * ic[2][0]) +
                            d1 * (d0 * ic[0][1] + d1 * ic[1][1] + d2 * ic[2][1]) +
                            d2 * (d0 * ic[0][2] + d1 * ic[1][2] + d2 * ic[2][2]);
        // OpenCV writes these two constants as floats.
        return 1.0f / std::sqrt(determinant_[ci]) * std::exp(-0.5f * mult);
    }

private:
    void invertCovariance(int ci, double singularFix) {
        double* c = cov_[ci];
        double det = c[0] * (c[4] * c[8] - c[5] * c[7]) - c[1] * (c[3] * c[8] - c[5] * c[6]) +
                     c[2] * (c[3] * c[7] - c[4] * c[6]);
        if (det <= 1e-6 && singularFix > 0) {
            c[0] += singularFix;
            c[4] += singularFix;
            c[8] += singularFix;
            det = c[0] * (c[4] * c[8] - c[5] * c[7]) - c[1] * (c[3] * c[8] - c[5] * c[6]) +
                  c[2] * (c[3] * c[7] - c[4] * c[6]);
        }
        determinant_[ci] = det;
        // OpenCV 4.6's bound; later ones refuse up to 1e-6, where one-colour components fall.
        require(det > kEpsilon, "singular colour covariance");
        const double inv = 1.0 / det;
        double(&ic)[3][3] = inverse_[ci];
        ic[0][0] = (c[4] * c[8] - c[5] * c[7]) * inv;
        ic[1][0] = -(c[3] * c[8] - c[5] * c[6]) * inv;
        ic[2][0] = (c[3] * c[7] - c[4] * c[6]) * inv;
        ic[0][1] = -(c[1] * c[8] - c[2] * c[7]) * inv;
        ic[1][1] = (c[0] * c[8] - c[2] * c[6]) * inv;
        ic[2][1] = -(c[0] * c[7] - c[1] * c[6]) * inv;
        ic[0][2] = (c[1] * c[5] - c[2] * c[4]) * inv;
        ic[1][2] = -(c[0] * c[5] - c[2] * c[3]) * inv;
        ic[2][2] = (c[0] * c[4] - c[1] * c[3]) * inv;
    }

    double coefs_[kComponents] = {0, 0, 0, 0, 0};
    double mean_[kComponents][3] = {};
    double cov_[kComponents][9] = {};
    double inverse_[kComponents][3][3] = {};
    double determinant_[kComponents] = {};
};

// The models start from cv::kmeans on each class's colours, background first, exactly as
// cv::grabCut calls it: it draws from this thread's cv::theRNG().
void initialModels(const cv::Mat& image, const cv::Mat& mask, ColourModel models[2]) {
    std::size_t counts[2] = {0, 0};
    for (int y = 0; y < mask.rows; ++y) {
        const uchar* labels = mask.ptr<uchar>(y);
        for (int x = 0; x < mask.cols; ++x) ++counts[isBackground(labels[x]) ? 0 : 1];
    }
    require(counts[0] > 0 && counts[1] > 0, "grabCut needs pixels of both classes");
    for (int cls = 0; cls < 2; ++cls) {
        std::vector<cv::Vec3f> samples;
        samples.reserve(counts[cls]);
        for (int y = 0; y < image.rows; ++y) {
            const uchar* pixel = image.ptr<uchar>(y);
            const uchar* labels = mask.ptr<uchar>(y);
            for (int x = 0; x < image.cols; ++x, pixel += 3) {
                if (isBackground(labels[x]) == (cls == 0))
                    samples.emplace_back(pixel[0], pixel[1], pixel[2]);
            }
        }
        const int n = static_cast<int>(samples.size());
        cv::Mat data(n, 3, CV_32FC1, &samples[0][0]);
        cv::Mat labels;
        cv::kmeans(data, std::min(kComponents, n), labels,
                   cv::TermCriteria(cv::TermCriteria::COUNT, 10, 0.0), 0, cv::KMEANS_PP_CENTERS);
        ModelSums sums;
        for (int i = 0; i < n; ++i) {
            const cv::Vec3f& s = samples[i];
            sums.component[labels.at<int>(i, 0)].add(static_cast<std::int64_t>(s[0]),
                                                     static_cast<std::int64_t>(s[1]),
                                                     static_cast<std::int64_t>(s[2]));
        }
        models[cls].learn(sums);
    }
}

// grabCut's beta: 1 / (2 * mean squared colour distance between neighbours), each pair once.
double neighbourBeta(const cv::Mat& image) {
    std::vector<std::int64_t> partial(64, 0);
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
    if (beta <= kEpsilon) return 0;
    const std::int64_t cols = image.cols, rows = image.rows;
    const std::int64_t edges = 4 * cols * rows - 3 * cols - 3 * rows + 2;
    return 1.f / (2 * beta / static_cast<double>(edges));
}

// Each distinct colour gets a dense index: a bit per possible colour, and counts per word.
class ColourIndex {
public:
    explicit ColourIndex(const cv::Mat& image) : words_(kWords) {
        for (int y = 0; y < image.rows; ++y) {
            const uchar* pixel = image.ptr<uchar>(y);
            for (int x = 0; x < image.cols; ++x, pixel += 3) {
                const std::uint32_t key = keyOf(pixel);
                words_[key >> 6].bits |= std::uint64_t{1} << (key & 63);
            }
        }
        std::uint32_t count = 0;
        for (std::size_t w = 0; w < kWords; ++w) {
            words_[w].before = count;
            std::uint64_t bits = words_[w].bits;
            count += static_cast<std::uint32_t>(__builtin_popcountll(bits));
            while (bits) {
                keys_.push_back(static_cast<std::uint32_t>(w * 64 + __builtin_ctzll(bits)));
                bits &= bits - 1;
            }
        }
    }

    static std::uint32_t keyOf(const uchar* pixel) {
        return pixel[0] | (std::uint32_t{pixel[1]} << 8) | (std::uint32_t{pixel[2]} << 16);
    }
    std::uint32_t indexOf(const uchar* pixel) const {
        const std::uint32_t key = keyOf(pixel);
        const Word& word = words_[key >> 6];
        const std::uint64_t below = word.bits & ((std::uint64_t{1} << (key & 63)) - 1);
        return word.before + static_cast<std::uint32_t>(__builtin_popcountll(below));
    }
    const std::vector<std::uint32_t>& keys() const { return keys_; }

private:
    // Bits and count side by side: one cache line per look-up.
    struct Word {
        std::uint64_t bits = 0;
        std::uint32_t before = 0;
    };
    static constexpr std::size_t kWords = (std::size_t{1} << 24) / 64;
    std::vector<Word> words_;
    std::vector<std::uint32_t> keys_;
};

// What the models say of each distinct colour: its likeliest component in each model (for the
// next assignment) and its terminal weight, OpenCV's -log(background) - -log(foreground).
struct ColourVerdicts {
    std::vector<uchar> component[2];
    std::vector<double> weight;
};

void judgeColours(const std::vector<std::uint32_t>& keys, const ColourModel models[2],
                  ColourVerdicts& verdicts) {
    const int count = static_cast<int>(keys.size());
    verdicts.component[0].resize(count);
    verdicts.component[1].resize(count);
    verdicts.weight.resize(count);
    cv::parallel_for_(cv::Range(0, count), [&](const cv::Range& range) {
        for (int i = range.start; i < range.end; ++i) {
            const std::uint32_t key = keys[i];
            const double colour[3] = {static_cast<double>(key & 255),
                                      static_cast<double>((key >> 8) & 255),
                                      static_cast<double>(key >> 16)};
            double likelihood[2];
            for (int cls = 0; cls < 2; ++cls) {
                double mixture = 0;
                double best = 0;
                int bestComponent = 0;
                for (int ci = 0; ci < kComponents; ++ci) {
                    const double p = models[cls].density(ci, colour);
                    mixture += models[cls].coef(ci) * p;
                    if (p > best) {
                        bestComponent = ci;
                        best = p;
                    }
                }
                likelihood[cls] = mixture;
                verdicts.component[cls][i] = static_cast<uchar>(bestComponent);
            }
            const double fromSource = -std::log(likelihood[0]);
            const double toSink = -std::log(likelihood[1]);
            verdicts.weight[i] = fromSource - toSink;
        }
    });
}

// OpenCV's GCGraph over the pixel grid with implicit neighbours. A frame of idle vertices round
// the image stands for missing neighbours: their edges have no capacity and they never join a
// tree, which is how GCGraph treats edges it does not have.
class GridGraph {
public:
    GridGraph(int rows, int cols) : rows_(rows), cols_(cols), stride_(cols + 2) {
        const std::int64_t vertices = static_cast<std::int64_t>(rows + 2) * (cols + 2);
        require(vertices < INT_MAX, "image too large");
        const std::size_t n = static_cast<std::size_t>(vertices);
        stub_ = static_cast<int>(vertices);
        capacity_.assign(n * 8, 0.0);
        weight_.assign(n, 0.0);
        next_.assign(n + 1, 0);
        stamp_.assign(n, 0);
        dist_.assign(n, 0);
        parent_.assign(n, kFree);
        tree_.assign(n, 0);
        touched_.assign(n, 1);
        for (int d = 0; d < 8; ++d) offset_[d] = kDy[d] * stride_ + kDx[d];
        for (int d = 0; d < 8; ++d) parentOffset_[d + 1] = offset_[d];
        parentOffset_[0] = 0;
    }

    int vertex(int y, int x) const { return (y + 1) * stride_ + x + 1; }

    // A fresh graph for one iteration: capacities from the edge factors, terminal weights from
    // the labels, trees and the active queue as GCGraph::maxFlow starts them.
    void build(const cv::Mat& image, const cv::Mat& mask, const ColourIndex& colours,
               const std::vector<double>& colourWeight, const std::vector<double>& edgeWeight) {
        std::vector<int> stripeFirst(64, -1), stripeLast(64, -1);
        const int stripes = forRowStripes(rows_, [&](int s, int y0, int y1) {
            int first = -1, last = -1;
            for (int y = y0; y < y1; ++y) {
                const uchar* rowsAround[3] = {y > 0 ? image.ptr<uchar>(y - 1) : nullptr,
                                              image.ptr<uchar>(y),
                                              y + 1 < rows_ ? image.ptr<uchar>(y + 1) : nullptr};
                const uchar* labels = mask.ptr<uchar>(y);
                const bool inner = y > 0 && y + 1 < rows_;
                for (int x = 0; x < cols_; ++x) {
                    const int v = vertex(y, x);
                    const uchar* c = rowsAround[1] + 3 * x;
                    // Capacities depend on the image alone: only those the last max-flow
                    // changed need setting again.
                    if (touched_[v]) {
                        setCapacities(rowsAround, x, inner && x > 0 && x + 1 < cols_, edgeWeight,
                                      &capacity_[static_cast<std::size_t>(v) * 8]);
                        touched_[v] = 0;
                    }
                    const uchar label = labels[x];
                    double w;
                    if (label == cv::GC_PR_BGD || label == cv::GC_PR_FGD) {
                        w = colourWeight[colours.indexOf(c)];
                    } else if (label == cv::GC_BGD) {
                        w = 0 - kLambda;
                    } else {
                        w = kLambda - 0;
                    }
                    weight_[v] = w;
                    stamp_[v] = 0;
                    next_[v] = 0;
                    if (w != 0) {
                        dist_[v] = 1;
                        parent_[v] = kTerminal;
                        tree_[v] = w < 0;
                        if (last >= 0) {
                            next_[last] = v + 1;
                        } else {
                            first = v;
                        }
                        last = v;
                    } else {
                        dist_[v] = 0;
                        parent_[v] = kFree;
                        tree_[v] = 0;
                    }
                }
            }
            stripeFirst[s] = first;
            stripeLast[s] = last;
        });
        // The active queue holds every vertex with a terminal weight, in vertex order.
        next_[stub_] = stub_ + 1;
        last_ = stub_;
        for (int s = 0; s < stripes; ++s) {
            if (stripeFirst[s] < 0) continue;
            next_[last_] = stripeFirst[s] + 1;
            last_ = stripeLast[s];
        }
        first_ = next_[stub_] - 1;
        next_[last_] = stub_ + 1;
        next_[stub_] = 0;
    }

    // gamma * exp(-beta * squared colour distance) to each neighbour there is.
    void setCapacities(const uchar* const rowsAround[3], int x, bool allNeighbours,
                       const std::vector<double>& edgeWeight, double* cap) const {
        const uchar* c = rowsAround[1] + 3 * x;
        for (int d = 0; d < 8; ++d) {
            const uchar* row = rowsAround[1 + kDy[d]];
            const int nx = x + kDx[d];
            if (!allNeighbours && (!row || nx < 0 || nx >= cols_)) continue;
            const uchar* o = row + 3 * nx;
            const int d0 = c[0] - o[0], d1 = c[1] - o[1], d2 = c[2] - o[2];
            cap[d] = edgeWeight[2 * (d0 * d0 + d1 * d1 + d2 * d2) + kDiagonal[d]];
        }
    }

    // GCGraph::maxFlow step for step.
    void maxFlow() {
        int currentStamp = 0;
        for (;;) {
            std::size_t joining = 0;
            bool found = false;

            // Grow the source and sink trees until an edge joins them.
            while (first_ != stub_) {
                const int v = first_;
                if (parent_[v] != kFree) {
                    const uchar vt = tree_[v];
                    for (int d = 0; d < 8; ++d) {
                        const int u = v + offset_[d];
                        const std::size_t edge = vt ? edgeOf(u, kOpposite[d]) : edgeOf(v, d);
                        if (capacity_[edge] == 0) continue;
                        if (parent_[u] == kFree) {
                            tree_[u] = vt;
                            parent_[u] = static_cast<signed char>(kOpposite[d] + 1);
                            stamp_[u] = stamp_[v];
                            dist_[u] = dist_[v] + 1;
                            if (!next_[u]) enqueue(u);
                            continue;
                        }
                        if (tree_[u] != vt) {
                            joining = edge;
                            found = true;
                            break;
                        }
                        if (dist_[u] > dist_[v] + 1 && stamp_[u] <= stamp_[v]) {
                            parent_[u] = static_cast<signed char>(kOpposite[d] + 1);
                            stamp_[u] = stamp_[v];
                            dist_[u] = dist_[v] + 1;
                        }
                    }
                    if (found) break;
                }
                first_ = next_[first_] - 1;
                next_[v] = 0;
            }
            if (!found) break;

            // The path: from `tail` up the source tree, from `head` up the sink tree.
            const int tail = static_cast<int>(joining / 8);
            const int head = tail + offset_[joining % 8];
            double minWeight = capacity_[joining];
            require(minWeight > 0, "max-flow: empty path");
            for (int k = 1; k >= 0; --k) {
                int v = k ? tail : head;
                for (;;) {
                    const signed char p = parent_[v];
                    if (p <= 0) break;
                    const int up = v + parentOffset_[p];
                    const double weight =
                        k ? capacity_[edgeOf(up, kOpposite[p - 1])] : capacity_[edgeOf(v, p - 1)];
                    minWeight = minimum(minWeight, weight);
                    require(minWeight > 0, "max-flow: saturated path");
                    v = up;
                }
                minWeight = minimum(minWeight, std::fabs(weight_[v]));
                require(minWeight > 0, "max-flow: saturated terminal");
            }

            // Push the flow; saturated tree edges and terminals leave orphans.
            capacity_[joining] -= minWeight;
            capacity_[edgeOf(head, kOpposite[joining % 8])] += minWeight;
            touched_[tail] = touched_[head] = 1;
            for (int k = 1; k >= 0; --k) {
                int v = k ? tail : head;
                for (;;) {
                    const signed char p = parent_[v];
                    if (p <= 0) break;
                    const int up = v + parentOffset_[p];
                    const std::size_t toParent = edgeOf(v, p - 1);
                    const std::size_t toChild = edgeOf(up, kOpposite[p - 1]);
                    touched_[v] = touched_[up] = 1;
                    capacity_[k ? toParent : toChild] += minWeight;
                    if ((capacity_[k ? toChild : toParent] -= minWeight) == 0) makeOrphan(v);
                    v = up;
                }
                weight_[v] = weight_[v] + minWeight * (1 - k * 2);
                if (weight_[v] == 0) makeOrphan(v);
            }

            // Find new parents for the orphans, last orphaned first.
            ++currentStamp;
            while (!orphans_.empty()) {
                const int v = orphans_.back();
                orphans_.pop_back();
                const uchar vt = tree_[v];
                int minDist = INT_MAX;
                signed char newParent = kFree;
                for (int d = 0; d < 8; ++d) {
                    int u = v + offset_[d];
                    if (capacity_[vt ? edgeOf(v, d) : edgeOf(u, kOpposite[d])] == 0) continue;
                    if (tree_[u] != vt || parent_[u] == kFree) continue;
                    int dist = 0;
                    for (;;) {
                        if (stamp_[u] == currentStamp) {
                            dist += dist_[u];
                            break;
                        }
                        const signed char p = parent_[u];
                        ++dist;
                        if (p < 0) {
                            if (p == kOrphan) {
                                dist = INT_MAX - 1;
                            } else {
                                stamp_[u] = currentStamp;
                                dist_[u] = 1;
                            }
                            break;
                        }
                        u += parentOffset_[p];
                    }
                    if (++dist < INT_MAX) {
                        if (dist < minDist) {
                            minDist = dist;
                            newParent = static_cast<signed char>(d + 1);
                        }
                        for (u = v + offset_[d]; stamp_[u] != currentStamp;
                             u += parentOffset_[parent_[u]]) {
                            stamp_[u] = currentStamp;
                            dist_[u] = --dist;
                        }
                    }
                }
                if ((parent_[v] = newParent) > 0) {
                    stamp_[v] = currentStamp;
                    dist_[v] = minDist;
                    continue;
                }

                // No parent: the vertex is free again (its tree label stays); its neighbours in
                // the same tree become active, its children orphans.
                stamp_[v] = 0;
                for (int d = 0; d < 8; ++d) {
                    const int u = v + offset_[d];
                    const signed char p = parent_[u];
                    if (tree_[u] != vt || p == kFree) continue;
                    if (capacity_[vt ? edgeOf(v, d) : edgeOf(u, kOpposite[d])] != 0 && !next_[u])
                        enqueue(u);
                    if (p > 0 && p - 1 == kOpposite[d]) makeOrphan(u);
                }
            }
        }
    }

    // GCGraph::inSourceSegment is false.
    bool onSinkSide(int v) const { return tree_[v] != 0; }

private:
    static std::size_t edgeOf(int v, int d) {
        return static_cast<std::size_t>(v) * 8 + static_cast<std::size_t>(d);
    }
    // OpenCV's MIN: a NaN second argument leaves the first.
    static double minimum(double a, double b) { return a > b ? b : a; }

    void enqueue(int u) {
        next_[u] = stub_ + 1;
        next_[last_] = u + 1;
        last_ = u;
    }
    void makeOrphan(int v) {
        orphans_.push_back(v);
        parent_[v] = kOrphan;
    }

    int rows_, cols_, stride_;
    int offset_[8];
    int parentOffset_[9];
    int stub_ = 0;  // the queue's end marker, one past the vertices
    int first_ = 0, last_ = 0;
    std::vector<double> capacity_;  // residual capacity of the edge to each of the 8 neighbours
    std::vector<double> weight_;    // terminal weight: > 0 towards the source, < 0 towards the sink
    std::vector<int> next_;         // active queue link: 0 outside the queue, else next vertex + 1
    std::vector<int> stamp_;
    std::vector<int> dist_;
    std::vector<signed char> parent_;  // kFree, kTerminal, kOrphan, or 1 + direction of the parent
    std::vector<uchar> tree_;          // 0 source tree, 1 sink tree
    std::vector<uchar> touched_;       // capacities changed since they were set
    std::vector<int> orphans_;
};

}  // namespace

void grabCutFromMask(const cv::Mat& image, cv::Mat& mask, int iterations) {
    checkInput(image, mask);
    ColourModel models[2];
    initialModels(image, mask, models);
    if (iterations <= 0) return;

    const int rows = image.rows, cols = image.cols;
    const double beta = neighbourBeta(image);
    // OpenCV's edge weights, gamma * exp(-beta * squared colour distance), for every distance.
    const double gammaDivSqrt2 = kGamma / std::sqrt(2.0f);
    // Per squared distance: the straight edge's weight, then the diagonal one's.
    std::vector<double> edgeWeight(2 * (kLargestSquaredDistance + 1));
    cv::parallel_for_(
        cv::Range(0, kLargestSquaredDistance + 1),
        [&](const cv::Range& range) {
            for (int s = range.start; s < range.end; ++s) {
                const double factor = std::exp(-beta * static_cast<double>(s));
                edgeWeight[2 * s] = kGamma * factor;
                edgeWeight[2 * s + 1] = gammaDivSqrt2 * factor;
            }
        },
        16);

    const ColourIndex colours(image);
    ColourVerdicts verdicts;
    std::vector<std::uint32_t> counts;
    judgeColours(colours.keys(), models, verdicts);
    GridGraph graph(rows, cols);

    for (int iteration = 0; iteration < iterations; ++iteration) {
        // Each pixel joins its class's likeliest component under the previous models; sums of
        // integers, so counting pixels per colour and class first changes nothing.
        const int parts = std::max(1, std::min(cv::getNumThreads(), rows));
        const std::size_t colourCount = colours.keys().size();
        std::fill(counts.begin(), counts.end(), 0);
        counts.resize(static_cast<std::size_t>(parts) * 2 * colourCount, 0);
        cv::parallel_for_(
            cv::Range(0, parts),
            [&](const cv::Range& range) {
                for (int part = range.start; part < range.end; ++part) {
                    std::uint32_t* partCounts =
                        &counts[static_cast<std::size_t>(part) * 2 * colourCount];
                    const int y0 = static_cast<int>(static_cast<std::int64_t>(rows) * part / parts);
                    const int y1 =
                        static_cast<int>(static_cast<std::int64_t>(rows) * (part + 1) / parts);
                    for (int y = y0; y < y1; ++y) {
                        const uchar* pixel = image.ptr<uchar>(y);
                        const uchar* labels = mask.ptr<uchar>(y);
                        for (int x = 0; x < cols; ++x, pixel += 3) {
                            ++partCounts[(isBackground(labels[x]) ? 0 : colourCount) +
                                         colours.indexOf(pixel)];
                        }
                    }
                }
            },
            parts);
        ModelSums sums[2];
        for (std::size_t i = 0; i < colourCount; ++i) {
            const std::uint32_t key = colours.keys()[i];
            for (int cls = 0; cls < 2; ++cls) {
                std::int64_t n = 0;
                for (int part = 0; part < parts; ++part)
                    n += counts[(static_cast<std::size_t>(part) * 2 + cls) * colourCount + i];
                if (n)
                    sums[cls].component[verdicts.component[cls][i]].add(key & 255, (key >> 8) & 255,
                                                                        key >> 16, n);
            }
        }
        models[0].learn(sums[0]);
        models[1].learn(sums[1]);
        judgeColours(colours.keys(), models, verdicts);

        graph.build(image, mask, colours, verdicts.weight, edgeWeight);
        graph.maxFlow();

        forRowStripes(rows, [&](int, int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                uchar* labels = mask.ptr<uchar>(y);
                for (int x = 0; x < cols; ++x) {
                    if (labels[x] == cv::GC_PR_BGD || labels[x] == cv::GC_PR_FGD) {
                        labels[x] =
                            graph.onSinkSide(graph.vertex(y, x)) ? cv::GC_PR_BGD : cv::GC_PR_FGD;
                    }
                }
            }
        });
    }
}
