#include "message.h"

#include <cstdio>
#include <utility>

namespace {
MessageSink& currentSink()
{
    static MessageSink sink;
    return sink;
}
} // namespace

void showMessage(const std::string& text)
{
    if (const MessageSink& sink = currentSink())
        sink(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

MessageSink setMessageSink(MessageSink sink)
{
    return std::exchange(currentSink(), std::move(sink));
}
