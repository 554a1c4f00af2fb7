#include "platform/procsignals.h"

#include <csignal>

void platformIgnoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
