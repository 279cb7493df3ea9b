#include "section_measure/grab_cut/max_flow.h"

#include "section_measure/grab_cut/input_checks.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace plantscan::section {

namespace {

// OpenCV's MIN: a NaN second argument leaves the first.
double minimum(double a, double b) { return a > b ? b : a; }

// GCGraph::maxFlow's state over the grid. Its active queue starts with every vertex of a
// terminal weight in vertex order and grows at its end: the start is walked by a cursor over
// the vertices flagged STARTS_ACTIVE, what joins later waits in a list of its own.
class Search {
public:
    Search(GridGraph& graph, const StartWeights& start)
        : graph_(graph),
          start_(start),
          vertex_(graph.vertex.get()),
          flags_(graph.flags.get()),
          end_(graph.vertexCount) {
        for (int d = 0; d < NEIGHBOURS; ++d) {
            offset_[d] = graph.offset[d];
            parentOffset_[d + 1] = graph.offset[d];
        }
        parentOffset_[0] = 0;
        // Stamps of earlier flows count as 0 (see stampOf); far from overflow, start again.
        if (graph.lastStamp > INT_MAX / 2) {
            for (int v = 0; v < end_; ++v) vertex_[v].stamp = 0;
            graph.lastStamp = 0;
        }
        base_ = graph.lastStamp;
        stamp_ = base_;
    }

    double run();
    int lastStamp() const { return stamp_; }

private:
    // GCGraph starts every stamp at 0: any older than this flow's first is that 0.
    int stampOf(const Vertex& v) const { return std::max(v.stamp, base_); }
    double cap(int v, int d) const { return graph_.capacity(v, d); }
    // What the flow changes of a vertex, kept from the first change on.
    Residuals& touch(int v) {
        if (!(flags_[v] & TOUCHED)) {
            Residuals residuals;
            for (int d = 0; d < NEIGHBOURS; ++d) residuals.toward[d] = graph_.original(v, d);
            graph_.slot[v] = static_cast<int>(graph_.residuals.size());
            graph_.residuals.push_back(residuals);
            flags_[v] |= TOUCHED;
        }
        return graph_.residuals[graph_.slot[v]];
    }
    // The terminal weight, asked of the start weights the first time only: a path's ends alone
    // need it.
    double& weightOf(int v) {
        Residuals& residuals = touch(v);
        if (!(flags_[v] & WEIGHED)) {
            residuals.weight = start_.weightOf(start_.index[graph_.pixelOf(v)]);
            flags_[v] |= WEIGHED;
        }
        return residuals.weight;
    }

    bool inQueue(int u) const {
        const std::uint8_t flags = flags_[u];
        return (flags & QUEUED) || ((flags & STARTS_ACTIVE) && u >= cursor_);
    }
    void enqueue(int u) {
        flags_[u] |= QUEUED;
        queue_.push_back(u);
    }
    int front() {
        cursor_ = nextToScan(cursor_);
        if (cursor_ < end_) return cursor_;
        return head_ < queue_.size() ? queue_[head_] : -1;
    }
    // The first vertex from v on that starts active and is not interior: eight flags at a time.
    int nextToScan(int v) const {
        constexpr std::uint64_t LOW_BITS = 0x0101010101010101ULL;
        constexpr int INTERIOR_SHIFT = 5;
        static_assert(INTERIOR == STARTS_ACTIVE << INTERIOR_SHIFT);
        while (v + 8 <= end_) {
            std::uint64_t eight;
            std::memcpy(&eight, flags_ + v, sizeof eight);
            const std::uint64_t wanted = eight & ~(eight >> INTERIOR_SHIFT) & LOW_BITS;
            // Flags are bytes in memory order: the lowest set byte is the first vertex.
            if (wanted) return v + __builtin_ctzll(wanted) / 8;
            v += 8;
        }
        while (v < end_ && (flags_[v] & (STARTS_ACTIVE | INTERIOR)) != STARTS_ACTIVE) ++v;
        return v;
    }
    void pop(int v) {
        if (cursor_ < end_) {
            ++cursor_;
            return;
        }
        flags_[v] &= static_cast<std::uint8_t>(~QUEUED);
        // What was taken is dropped now and then, so that the list stays as long as its rest.
        if (++head_ > 4096 && 2 * head_ > queue_.size()) {
            queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(head_));
            head_ = 0;
        }
    }
    void makeOrphan(int v) {
        orphans_.push_back(v);
        vertex_[v].parent = ORPHAN;
    }

    // Grows the trees from the front of the queue; the edge that joins them, from its source
    // side (vertex and direction), or false when none is left.
    bool findPath(int& tail, int& direction);
    double augment(int tail, int direction);
    void adoptOrphans();
    // Calls visit(child, parent, p) on each tree edge from `v` to its root, which it returns;
    // read before the visit, the parent stays valid if the visit makes the child an orphan.
    template <class Visit>
    int climb(int v, Visit visit) {
        for (;;) {
            const signed char p = vertex_[v].parent;
            if (p <= 0) return v;
            const int up = v + parentOffset_[p];
            visit(v, up, p);
            v = up;
        }
    }

    GridGraph& graph_;
    const StartWeights& start_;
    Vertex* vertex_;
    std::uint8_t* flags_;
    int end_;
    int offset_[NEIGHBOURS];
    int parentOffset_[NEIGHBOURS + 1];
    int base_ = 0, stamp_ = 0;
    int cursor_ = 0;
    std::vector<int> queue_;
    std::size_t head_ = 0;
    std::vector<int> orphans_;
};

bool Search::findPath(int& tail, int& direction) {
    for (int v = front(); v >= 0; v = front()) {
        const Vertex& from = vertex_[v];
        if (from.parent != FREE) {
            const int vt = from.tree;
            for (int d = 0; d < NEIGHBOURS; ++d) {
                const int u = v + offset_[d];
                if ((vt ? cap(u, OPPOSITE[d]) : cap(v, d)) == 0) continue;
                Vertex& to = vertex_[u];
                if (to.parent == FREE) {
                    to.tree = static_cast<std::uint8_t>(vt);
                    to.parent = static_cast<signed char>(OPPOSITE[d] + 1);
                    to.stamp = from.stamp;
                    to.dist = from.dist + 1;
                    if (!inQueue(u)) enqueue(u);
                    continue;
                }
                if (to.tree != vt) {
                    tail = vt ? u : v;
                    direction = vt ? OPPOSITE[d] : d;
                    return true;
                }
                if (to.dist > from.dist + 1 && stampOf(to) <= stampOf(from)) {
                    to.parent = static_cast<signed char>(OPPOSITE[d] + 1);
                    to.stamp = from.stamp;
                    to.dist = from.dist + 1;
                }
            }
        }
        pop(v);
    }
    return false;
}

double Search::augment(int tail, int direction) {
    const int head = tail + offset_[direction];
    // The least residual capacity along the path: the joining edge, each tree edge toward the
    // sink, and the two terminal weights.
    double minWeight = cap(tail, direction);
    requireThat(minWeight > 0, "max-flow: empty path");
    for (int k = 1; k >= 0; --k) {
        const int v = climb(k ? tail : head, [&](int child, int up, signed char p) {
            minWeight = minimum(minWeight, k ? cap(up, OPPOSITE[p - 1]) : cap(child, p - 1));
            requireThat(minWeight > 0, "max-flow: saturated path");
        });
        minWeight = minimum(minWeight, std::fabs(weightOf(v)));
        requireThat(minWeight > 0, "max-flow: saturated terminal");
    }

    // Push it; saturated tree edges and terminals leave orphans.
    touch(tail).toward[direction] -= minWeight;
    touch(head).toward[OPPOSITE[direction]] += minWeight;
    for (int k = 1; k >= 0; --k) {
        const int v = climb(k ? tail : head, [&](int child, int up, signed char p) {
            // A deque's elements stay where they are as it grows.
            double& toParent = touch(child).toward[p - 1];
            double& toChild = touch(up).toward[OPPOSITE[p - 1]];
            (k ? toParent : toChild) += minWeight;
            if (((k ? toChild : toParent) -= minWeight) == 0) makeOrphan(child);
        });
        double& w = weightOf(v);
        w = w + minWeight * (1 - k * 2);
        if (w == 0) {
            makeOrphan(v);
            flags_[v] &= static_cast<std::uint8_t>(~INTERIOR);
            for (int d = 0; d < NEIGHBOURS; ++d)
                flags_[v + offset_[d]] &= static_cast<std::uint8_t>(~INTERIOR);
        }
    }
    return minWeight;
}

void Search::adoptOrphans() {
    requireThat(stamp_ < INT_MAX, "max-flow: too many paths");
    const int current = ++stamp_;
    while (!orphans_.empty()) {
        const int v = orphans_.back();
        orphans_.pop_back();
        const int vt = vertex_[v].tree;
        int minDist = INT_MAX;
        signed char newParent = FREE;
        for (int d = 0; d < NEIGHBOURS; ++d) {
            int u = v + offset_[d];
            if ((vt ? cap(v, d) : cap(u, OPPOSITE[d])) == 0) continue;
            if (vertex_[u].tree != vt || vertex_[u].parent == FREE) continue;
            // The distance from u to its tree's root, through stamps set by this adoption.
            int dist = 0;
            for (;;) {
                if (vertex_[u].stamp == current) {
                    dist += vertex_[u].dist;
                    break;
                }
                const signed char p = vertex_[u].parent;
                ++dist;
                if (p < 0) {
                    if (p == ORPHAN) {
                        dist = INT_MAX - 1;
                    } else {
                        vertex_[u].stamp = current;
                        vertex_[u].dist = 1;
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
                for (u = v + offset_[d]; vertex_[u].stamp != current;
                     u += parentOffset_[vertex_[u].parent]) {
                    vertex_[u].stamp = current;
                    vertex_[u].dist = --dist;
                }
            }
        }
        if ((vertex_[v].parent = newParent) > 0) {
            vertex_[v].stamp = current;
            vertex_[v].dist = minDist;
            continue;
        }

        // No parent: the vertex is free again (its tree label stays); its neighbours in the
        // same tree become active, its children orphans.
        vertex_[v].stamp = 0;
        for (int d = 0; d < NEIGHBOURS; ++d) {
            const int u = v + offset_[d];
            const signed char p = vertex_[u].parent;
            if (vertex_[u].tree != vt || p == FREE) continue;
            if ((vt ? cap(v, d) : cap(u, OPPOSITE[d])) != 0 && !inQueue(u)) enqueue(u);
            if (p > 0 && p - 1 == OPPOSITE[d]) makeOrphan(u);
        }
    }
}

double Search::run() {
    double flow = 0;
    int tail = 0, direction = 0;
    while (findPath(tail, direction)) {
        flow += augment(tail, direction);
        adoptOrphans();
    }
    return flow;
}

}  // namespace

double maxFlow(GridGraph& graph, const StartWeights& start) {
    Search search(graph, start);
    const double flow = search.run();
    graph.lastStamp = search.lastStamp();
    return flow;
}

}  // namespace plantscan::section
