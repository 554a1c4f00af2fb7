#include "workers.h"

#include <chrono>
#include <cstdlib>
#include <new>
#include <system_error>
#include <sched.h>

namespace quillan {

namespace {

// Waits up to about a tenth of a millisecond for done() to hold, on the processor; true when
// it did. Beyond that the waiter sleeps on its condition.
template <typename Done>
bool spinFor(Done done)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(100);
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (done())
                return true;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        if (std::chrono::steady_clock::now() > until)
            return done();
    }
}

} // namespace

unsigned workerCount()
{
    if (const char* text = std::getenv("QUILLAN_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n > 0)
            return n > 256 ? 256u : static_cast<unsigned>(n);
    }
    // The hardware threads this process may run on (a CPU set can hold fewer than the
    // machine has).
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        return static_cast<unsigned>(CPU_COUNT(&allowed));
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? hardware : 1;
}

Workers::Workers(unsigned count, std::size_t grain) : count_(count), grain_(grain) {}

void Workers::startThreads()
{
    started_ = true;
    // Room for every thread first: a vector growing around running threads could fail with
    // threads that nobody joins.
    try {
        threads_.reserve(count_ > 1 ? count_ - 1 : 0);
    } catch (const std::bad_alloc&) {
        return;   // the caller alone does the work
    }
    for (unsigned i = 1; i < count_; ++i) {
        try {
            threads_.emplace_back([this] { threadMain(); });
        } catch (const std::system_error&) {
            break;   // fewer threads do the same work
        }
    }
}

Workers::~Workers()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        posted_.fetch_add(1, std::memory_order_release);
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void Workers::runTasks()
{
    for (;;) {
        std::size_t i;
        {
            std::lock_guard lock(mutex_);
            if (!active_ || next_ >= tasks_)
                return;
            i = next_++;
        }
        try {
            task_(i);
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!failure_)
                failure_ = std::current_exception();
        }
    }
}

void Workers::threadMain()
{
    unsigned long seen = 0;
    for (;;) {
        spinFor([&] { return posted_.load(std::memory_order_acquire) != seen; });
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || (active_ && generation_ != seen); });
            if (stop_)
                return;
            seen = generation_;
            ++busy_;
            running_.store(busy_, std::memory_order_relaxed);
        }
        runTasks();
        {
            std::lock_guard lock(mutex_);
            --busy_;
            running_.store(busy_, std::memory_order_release);
        }
        idle_.notify_all();
    }
}

void Workers::start(std::size_t count, std::function<void(std::size_t)> task)
{
    if (count > 1 && !started_)
        startThreads();
    {
        std::lock_guard lock(mutex_);
        task_ = std::move(task);
        tasks_ = count;
        next_ = 0;
        failure_ = nullptr;
        active_ = true;
        ++generation_;
        posted_.store(generation_, std::memory_order_release);
    }
    if (!threads_.empty() && count > 1)
        wake_.notify_all();
}

void Workers::wait()
{
    runTasks();
    // The lock decides; the look without it only spares going to sleep.
    spinFor([&] { return running_.load(std::memory_order_acquire) == 0; });
    std::exception_ptr failure;
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [&] { return busy_ == 0; });
        active_ = false;
        task_ = nullptr;
        failure = failure_;
        failure_ = nullptr;
    }
    if (failure)
        std::rethrow_exception(failure);
}

void Workers::forEach(std::size_t count, std::function<void(std::size_t)> task)
{
    start(count, std::move(task));
    wait();
}

} // namespace quillan
