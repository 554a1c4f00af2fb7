// The threads of one conversion: a small pool that lives inside quillanourCnv and runs
// numbered tasks on its threads and on the calling thread. Results never depend on how many
// threads there are: tasks write only their own outputs, which the caller combines in order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quillan {

// Threads a conversion uses, the calling one included: QUILLAN_THREADS when it holds a
// positive number, otherwise every hardware thread the process may run on.
unsigned workerCount();

class Workers {
public:
    // Work below this many 64-pixel words is done by one thread: waking others costs more.
    static constexpr std::size_t kGrain = 1 << 14;

    // count threads in all, the caller included (fewer when the system gives no more), and
    // the least work worth a task of its own. The threads start with the first job of more
    // than one task, so a conversion of a small image starts none.
    explicit Workers(unsigned count = workerCount(), std::size_t grain = kGrain);
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    unsigned size() const { return count_ > 0 ? count_ : 1; }
    std::size_t grain() const { return grain_; }

    // Runs task(0) … task(count − 1) and returns when all are done. The first exception a
    // task threw is rethrown here, on the calling thread, once every task has ended.
    void forEach(std::size_t count, std::function<void(std::size_t)> task);

    // The same in two halves: start hands the tasks to the pool threads and returns at once,
    // so the caller can go on with other work; wait joins in and returns when all are done.
    // With no pool threads every task runs inside wait, on the caller. One job at a time.
    void start(std::size_t count, std::function<void(std::size_t)> task);
    void wait();

private:
    void startThreads();
    void runTasks();
    void threadMain();

    unsigned count_;
    std::size_t grain_;
    bool started_ = false;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::function<void(std::size_t)> task_;
    std::size_t tasks_ = 0;
    std::size_t next_ = 0;        // next task to hand out
    unsigned busy_ = 0;           // pool threads inside the current job
    unsigned long generation_ = 0;
    bool active_ = false;
    bool stop_ = false;
    // Copies of generation_ and busy_, read without the lock while a thread waits briefly
    // awake before it sleeps: jobs follow each other within microseconds (a thinning
    // sub-iteration after another), far sooner than a sleeping thread wakes.
    std::atomic<unsigned long> posted_{0};
    std::atomic<unsigned> running_{0};
    std::exception_ptr failure_;
};

} // namespace quillan
