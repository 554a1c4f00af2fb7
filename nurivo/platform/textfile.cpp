#include "textfile.h"

#include "codec.h"
#include "message.h"
#include "strscan.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kChunk = 1 << 16;

// What a new file gets from fopen: read and write for all, less the process's umask.
mode_t newFileMode()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
} // namespace

TextReader::~TextReader() { close(); }

bool TextReader::open(const std::string& path)
{
    close();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    file_ = std::fopen(path.c_str(), "rb");
    return file_ != nullptr;
}

void TextReader::close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    buf_.clear();
    pos_ = 0;
    eof_ = false;
}

bool TextReader::fill()
{
    if (eof_ || !file_)
        return false;
    if (pos_ > 0) {
        buf_.erase(0, pos_);
        pos_ = 0;
    }
    size_t old = buf_.size();
    buf_.resize(old + kChunk);
    size_t n = std::fread(buf_.data() + old, 1, kChunk, file_);
    buf_.resize(old + n);
    if (n == 0)
        eof_ = true;
    return n > 0;
}

bool TextReader::readRawLine(std::string& bytes)
{
    if (!file_)
        return false;
    size_t searchFrom = pos_;
    for (;;) {
        const char* base = buf_.data();
        const void* nl = searchFrom < buf_.size()
            ? std::memchr(base + searchFrom, '\n', buf_.size() - searchFrom) : nullptr;
        if (nl) {
            size_t end = static_cast<const char*>(nl) - base;
            size_t len = end - pos_;
            if (len > 0 && buf_[end - 1] == '\r')
                --len;
            bytes.assign(buf_, pos_, len);
            pos_ = end + 1;
            return true;
        }
        size_t scanned = buf_.size() - pos_;
        if (!fill()) {
            if (pos_ >= buf_.size())
                return false;
            size_t len = buf_.size() - pos_;
            if (buf_.back() == '\r')
                --len;
            bytes.assign(buf_, pos_, len);
            pos_ = buf_.size();
            return true;
        }
        searchFrom = pos_ + scanned;
    }
}

bool TextReader::readLine(std::string& line)
{
    std::string raw;
    if (!readRawLine(raw))
        return false;
    line = cp932ToUtf8(raw);
    return true;
}

TextWriter::~TextWriter() { close(); }

bool TextWriter::open(const std::string& path)
{
    close();
    failed_ = false;
    struct stat st {};
    bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return false;
    // The file is written beside itself and put in place only when every byte is out, so a
    // save that fails half-way (a full disk) leaves the file that was there. A link is
    // written through, as the folder it points into may not be ours to rename in.
    if (!exists || S_ISREG(st.st_mode)) {
        size_t slash = path.find_last_of('/');
        std::string tmpl = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                           ".nurivo-save-XXXXXX";
        int fd = ::mkstemp(tmpl.data());
        if (fd >= 0) {
            mode_t mode = exists ? (st.st_mode & 07777) : newFileMode();
            if (::fchmod(fd, mode) != 0 || !(file_ = ::fdopen(fd, "wb"))) {
                ::close(fd);
                ::unlink(tmpl.c_str());
                file_ = nullptr;
            } else {
                tmpPath_ = tmpl;
            }
        }
    }
    if (!file_)
        file_ = std::fopen(path.c_str(), "wb");
    if (file_)
        path_ = path;
    return file_ != nullptr;
}

bool TextWriter::openReporting(const std::string& path)
{
    if (open(path))
        return true;
    showMessage("ERR OPEN " + path);
    return false;
}

bool TextWriter::closeReporting()
{
    std::string path = path_;
    if (close())
        return true;
    showMessage("ERR OPEN " + path);
    return false;
}

void TextWriter::write(std::string_view utf8)
{
    if (!file_)
        return;
    std::string bytes = utf8ToCp932(utf8);
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t nl = bytes.find('\n', start);
        size_t end = nl == std::string::npos ? bytes.size() : nl;
        // A "\r\n" already in the text stays one line end.
        size_t len = end - start;
        if (nl != std::string::npos && len > 0 && bytes[end - 1] == '\r')
            --len;
        if (len && std::fwrite(bytes.data() + start, 1, len, file_) != len)
            failed_ = true;
        if (nl == std::string::npos)
            break;
        if (std::fwrite("\r\n", 1, 2, file_) != 2)
            failed_ = true;
        start = nl + 1;
    }
}

void TextWriter::writeLine(std::string_view utf8)
{
    write(utf8);
    write("\n");
}

void TextWriter::print(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::string text = strVPrintf(fmt, ap);
    va_end(ap);
    write(text);
}

bool TextWriter::close()
{
    if (!file_)
        return !failed_;
    if (std::fflush(file_) != 0 || std::ferror(file_))
        failed_ = true;
    if (std::fclose(file_) != 0)
        failed_ = true;
    file_ = nullptr;
    if (!tmpPath_.empty()) {
        if (failed_ || std::rename(tmpPath_.c_str(), path_.c_str()) != 0) {
            failed_ = true;
            ::unlink(tmpPath_.c_str());
        }
        tmpPath_.clear();
    }
    return !failed_;
}
