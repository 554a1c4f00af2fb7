// Loads what an opened drawing needs before the workbench or the print form shows it: the
// raster and its reductions, the recognised line work and the figure stores.
#pragma once
#include "platform/message.h"

#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class KXDraw;

// useTrace 1 also loads the recognised line work; any other value skips it.
void traceAnalyseInfo(KXDraw* drawing, int useTrace);

// While it lives, the messages given by the work of a WorkBeside are held back for its
// finish(); the messages of every other thread go where they went before. Made before the
// first WorkBeside and ended after the last.
class HoldMessagesBeside {
public:
    HoldMessagesBeside();
    ~HoldMessagesBeside();
    HoldMessagesBeside(const HoldMessagesBeside&) = delete;
    HoldMessagesBeside& operator=(const HoldMessagesBeside&) = delete;

private:
    MessageSink previous_;
};

// Work run on a thread of its own while the calling thread goes on (a raster decoding).
// finish() waits for it, shows the messages it gave and throws what it threw, so that both
// come out at the step they belong to, as if the work had run there; the destructor only
// waits, dropping them. Without a thread to be had the work runs in finish().
class WorkBeside {
public:
    explicit WorkBeside(std::function<void()> work);
    ~WorkBeside() { wait(); }
    WorkBeside(const WorkBeside&) = delete;
    WorkBeside& operator=(const WorkBeside&) = delete;

    void wait();
    void finish();

private:
    void run();

    std::function<void()> work_;
    std::vector<std::string> messages_;
    std::exception_ptr failure_;
    std::thread thread_;
};
