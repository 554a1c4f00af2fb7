// Small helpers shared by the tests: a temporary folder, file helpers and a message recorder.
#pragma once
#include "platform/codec.h"
#include "platform/message.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testutil {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "nurivo-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            std::abort();
        path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A text file in CP932 with CR LF, as the system's files are.
inline void writeText(const std::string& path, const std::string& utf8)
{
    std::string out;
    for (char c : utf8ToCp932(utf8)) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    writeBytes(path, out);
}

// Records every showMessage call while it lives.
class MessageRecorder {
public:
    MessageRecorder()
    {
        previous_ = setMessageSink([this](const std::string& text) { messages.push_back(text); });
    }
    ~MessageRecorder() { setMessageSink(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<std::string> messages;

private:
    MessageSink previous_;
};

// Makes a de_DE locale (decimal comma) in `dir` and points LOCPATH there, so a test can switch
// to it with setlocale(…, "de_DE.UTF-8"); false when no locale can be made on this machine.
// Call unsetenv("LOCPATH") when done.
inline bool makeCommaLocale(const TempDir& dir)
{
    const std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir.file("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        return false;
    ::setenv("LOCPATH", dir.path().c_str(), 1);
    return true;
}

} // namespace testutil
