#include "chain.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include <new>

namespace quillan {

namespace {

constexpr int kStepX[8] = {0, 1, 0, -1, 1, 1, -1, -1};
constexpr int kStepY[8] = {1, 0, -1, 0, 1, -1, -1, 1};

// Directions to try after a step in direction f (row f); row 8 when there was none. After a
// step only the first seven are tried: the eighth leads straight back.
constexpr int kSearchOrder[9][8] = {
    {0, 4, 7, 1, 3, 5, 6, 2}, {1, 5, 4, 2, 0, 6, 7, 3}, {2, 6, 5, 3, 1, 7, 4, 0},
    {3, 7, 6, 0, 2, 4, 5, 1}, {1, 0, 4, 5, 7, 2, 3, 6}, {2, 1, 5, 6, 4, 3, 0, 7},
    {3, 2, 6, 7, 5, 0, 1, 4}, {0, 3, 7, 4, 6, 1, 2, 5}, {0, 1, 2, 3, 4, 5, 6, 7},
};
constexpr int kAnyDirection = 8;

inline Point ptStep(const Point& p, int e)
{
    return Point{p.x + kStepX[e], p.y + kStepY[e]};
}

inline int triesFor(int row)
{
    return row == kAnyDirection ? 8 : 7;
}

inline bool foregroundAt(const WorkImage& img, const Point& p)
{
    return img.inside(p.x, p.y) && pixelIsForeground(img, p.x, p.y);
}

} // namespace

void chainReset(Chain& chain)
{
    chain.vertices.clear();
    chain.beforeLast = chain.last = Point{};
}

void chainReset(Chain& chain, const Point& p)
{
    chain.vertices.clear();
    chain.vertices.push_back(p);
    chain.beforeLast = chain.last = p;
}

Chain chainNew()
{
    Chain c;
    chainReset(c);
    return c;
}

Chain chainNew(const Point& p)
{
    Chain c;
    chainReset(c, p);
    return c;
}

int chainAddPoint(Chain& chain, const Point& p)
{
    try {
        PointList& v = chain.vertices;
        if (v.empty()) {
            v.push_back(p);
            chain.beforeLast = chain.last = p;
        } else if (v.size() >= 2 && ((chain.beforeLast.x == chain.last.x && chain.last.x == p.x) ||
                                     (chain.beforeLast.y == chain.last.y && chain.last.y == p.y))) {
            v.back() = p;
            chain.last = p;
        } else {
            v.push_back(p);
            chain.beforeLast = chain.last;
            chain.last = p;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

bool pixelFindNext(const WorkImage& img, std::int64_t from, std::int64_t column, Point& found)
{
    if (img.empty())
        return false;
    const unsigned char bg = img.backgroundByte();
    const std::uint64_t bgWord = bg ? ~std::uint64_t{0} : 0;
    // Bytes past the last pixel only hold padding.
    const std::size_t used = (static_cast<std::size_t>(img.width) + 7) / 8;
    for (std::int64_t y = from; y < img.height; ++y) {
        const unsigned char* row = img.row(y);
        const std::int64_t firstX = y == from ? column : 0;
        for (std::size_t b = static_cast<std::size_t>(firstX) / 8; b < used; ++b) {
            std::uint64_t w;
            while (b + 8 <= used && (std::memcpy(&w, row + b, 8), w == bgWord))
                b += 8;
            if (b >= used)
                break;
            if (row[b] == bg)
                continue;
            const std::int64_t x0 = static_cast<std::int64_t>(b) * 8;
            for (std::int64_t x = x0 < firstX ? firstX : x0; x < x0 + 8 && x < img.width; ++x) {
                if (pixelIsForeground(img, x, y)) {
                    found = Point{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
                    return true;
                }
            }
        }
    }
    return false;
}

int chainTrace(const WorkImage& img, int previousDirection, const NodeIndex& index, Chain& chain, const Point& start)
{
    std::size_t k = chain.vertices.size();
    Point q = start;
    int f = previousDirection;
    for (;;) {
        if (k > 0)
            pixelClear(img, q.x, q.y);
        if (!chainAddPoint(chain, q))
            return 0;
        ++k;
        if (f == kNoDirection)
            f = kAnyDirection;
        const int* order = kSearchOrder[f];
        const int tries = triesFor(f);
        bool moved = false;
        for (int t = 0; t < tries; ++t) {
            const Point c = ptStep(q, order[t]);
            if (foregroundAt(img, c)) {
                q = c;
                f = order[t];
                moved = true;
                break;
            }
        }
        if (!moved)
            break;
    }
    if (k == 1)
        pixelClear(img, q.x, q.y);
    const int* order = kSearchOrder[f];
    const int tries = triesFor(f);
    const unsigned nodesAround = index.around(q);
    for (int t = 0; t < tries; ++t) {
        const Point c = ptStep(q, order[t]);
        if (nodesAround & (1u << (3 * (kStepY[order[t]] + 1) + kStepX[order[t]] + 1))) {
            if (!chainAddPoint(chain, c))
                return 0;
            break;
        }
    }
    return 1;
}

namespace {

// Walked chains on their way to the file. Simplifying a chain needs nothing but the chain,
// so a full batch is simplified on the pool threads while the walk goes on; batches are
// written in walking order, which gives the file of writing each chain as soon as it is
// walked.
class ChainOutput {
public:
    ChainOutput(RvlWriter& out, const TraceSettings& settings, Workers& workers)
        : out_(out), settings_(settings), workers_(workers)
    {
    }
    ~ChainOutput()
    {
        // Only after a failure is a batch still out; its result no longer matters.
        if (inFlight_) {
            try {
                workers_.wait();
            } catch (...) {
            }
        }
    }
    ChainOutput(const ChainOutput&) = delete;
    ChainOutput& operator=(const ChainOutput&) = delete;

    void add(const PointList& vertices)
    {
        // The slots of a batch keep their storage from one batch to the next, so the walk
        // allocates nothing once the first batches are through.
        Batch& b = filling_;
        if (b.used == b.chains.size())
            b.chains.emplace_back();
        b.chains[b.used] = vertices;
        ++b.used;
        if (b.used >= kBatch)
            submit();
    }

    // Writes every chain added; the number of polylines written.
    long finish()
    {
        if (failed_)
            return written_;
        submit();
        collect();
        return written_;
    }

private:
    static constexpr std::size_t kBatch = 4096;
    static constexpr std::size_t kPerTask = 64;

    struct Batch {
        std::vector<PointList> chains;   // the first `used` hold chains
        std::size_t used = 0;
        std::vector<std::string> text;
        std::vector<long> written;
    };

    void submit()
    {
        collect();
        const std::size_t tasks = (filling_.used + kPerTask - 1) / kPerTask;
        filling_.text.assign(tasks, std::string());
        filling_.written.assign(tasks, 0);
        std::swap(filling_, simplifying_);
        // Only `this` is captured, so handing the job over allocates nothing.
        workers_.start(tasks, [this](std::size_t task) { simplify(task); });
        inFlight_ = true;
    }

    void simplify(std::size_t task)
    {
        Batch& b = simplifying_;
        RvlWriter blocks;
        long written = 0;
        const std::size_t last = std::min(b.used, (task + 1) * kPerTask);
        for (std::size_t i = task * kPerTask; i < last; ++i)
            written += polylineSimplifyWrite(blocks, b.chains[i], settings_.tolerance, settings_.minimumLength);
        b.text[task] = blocks.takeText();
        b.written[task] = written;
    }

    void collect()
    {
        if (!inFlight_)
            return;
        inFlight_ = false;
        try {
            workers_.wait();
        } catch (...) {
            // Chains after this batch must not reach the file without it.
            failed_ = true;
            throw;
        }
        Batch& b = simplifying_;
        for (std::size_t t = 0; t < b.text.size(); ++t) {
            out_.writeText(b.text[t]);
            written_ += b.written[t];
        }
        b.used = 0;
    }

    RvlWriter& out_;
    TraceSettings settings_;
    Workers& workers_;
    Batch filling_;
    Batch simplifying_;
    bool inFlight_ = false;
    bool failed_ = false;
    long written_ = 0;
};

} // namespace

long chainTraceAll(const WorkImage& img, RvlWriter& out, const TraceSettings& settings, const NodeIndex& index,
                   const PointList& nodes, Workers& workers)
{
    ChainOutput output(out, settings, workers);
    Chain chain;
    auto trace = [&](int previousDirection, const Point& start) {
        if (!chainTrace(img, previousDirection, index, chain, start))
            throw std::bad_alloc();
        output.add(chain.vertices);
    };
    try {
        for (const Point& n : nodes) {
            for (int d = 0; d < 8; ++d) {
                const Point c = ptStep(n, d);
                if (!foregroundAt(img, c))
                    continue;
                chainReset(chain, n);
                trace(d, c);
            }
        }
        // Everything before the last start pixel is background by now, so the search for the
        // next one may go on from there.
        Point s;
        std::int64_t y0 = 0;
        std::int64_t x0 = 0;
        while (pixelFindNext(img, y0, x0, s)) {
            chainReset(chain);
            trace(kNoDirection, s);
            y0 = s.y;
            x0 = s.x;
        }
        return output.finish();
    } catch (const std::bad_alloc&) {
    }
    // The chains walked before memory ran out still reach the file when they can.
    try {
        output.finish();
    } catch (const std::bad_alloc&) {
    }
    return -1;
}

} // namespace quillan
