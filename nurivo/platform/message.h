// Where the model reports to the operator. The model knows no GUI: it calls showMessage, the
// program installs a message box, tests install a recorder, and by default text goes to stderr.
#pragma once
#include <functional>
#include <string>

using MessageSink = std::function<void(const std::string& text)>;

void showMessage(const std::string& text);

// Installs a sink and returns the one it replaces; an empty sink restores the default.
MessageSink setMessageSink(MessageSink sink);
