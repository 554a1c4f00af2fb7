#include "textfile.h"

#include "codec.h"
#include "message.h"
#include "strscan.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kChunk = 1 << 16;
constexpr int kMaxLinks = 40;

// What a new file gets from fopen: read and write for all, less the process's umask.
mode_t newFileMode()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool setBlocking(int fd)
{
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// The folder part of `path` with its closing '/', or empty for a bare name.
std::string folderOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Makes a new, empty file beside `target` and names it in `tmpPath`; its descriptor, or -1.
int makeBeside(const std::string& target, std::string& tmpPath)
{
    tmpPath = folderOf(target) + ".nurivo-save-XXXXXX";
    return ::mkstemp(tmpPath.data());
}

// The file a path names once its links are followed; the last one may not exist yet (a save
// through a dangling link creates it). Empty for a loop of links.
std::string resolveLinks(std::string path)
{
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string to(PATH_MAX, '\0');
        ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
        if (n <= 0 || static_cast<size_t>(n) >= to.size())
            return {};
        to.resize(static_cast<size_t>(n));
        if (to[0] != '/')
            to = folderOf(path) + to;
        path = std::move(to);
    }
    return {};
}

bool readWhole(int fd, std::string& bytes)
{
    bytes.clear();
    char buf[kChunk];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(buf, static_cast<size_t>(n));
    }
}

bool writeWholeAt(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
} // namespace

int openRegularFile(const std::string& path)
{
    // Non-blocking, so that opening a FIFO with no writer returns at once.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !setBlocking(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TextReader::~TextReader() { close(); }

bool TextReader::open(const std::string& path)
{
    close();
    int fd = openRegularFile(path);
    if (fd < 0)
        return false;
    file_ = ::fdopen(fd, "rb");
    if (!file_)
        ::close(fd);
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

// A writer never closed (its saver left by an exception) gives up its save: the file that was
// there stays, and a file it was making is not left behind.
TextWriter::~TextWriter()
{
    // Taken as a failed save: close() then puts nothing in place.
    if (file_) {
        failed_ = true;
        close();
    }
}

bool TextWriter::open(const std::string& path)
{
    close();
    failed_ = false;
    restoreFailed_ = false;
    created_ = false;
    haveOld_ = false;
    oldBytes_.clear();
    written_ = 0;
    // Through a link, the link's real target is the file saved; the link stays a link.
    std::string target = resolveLinks(path);
    if (target.empty())
        return false;
    target_ = target;
    path_ = path;
    struct stat st {};
    return ::lstat(target.c_str(), &st) == 0 ? openExisting(target) : openNew(target);
}

bool TextWriter::openExisting(const std::string& target)
{
    // The open for writing decides, as a plain open would: a read-only file, a read-only
    // mount, a folder or a FIFO without a reader are refused here and stay as they are.
    bool readable = true;
    int fd = ::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        readable = false;
        fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !setBlocking(fd)) {
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        // A device takes the bytes as they come; nothing there can be kept or replaced.
        if (!S_ISCHR(st.st_mode) || !(file_ = ::fdopen(fd, "wb"))) {
            ::close(fd);
            return false;
        }
        mode_ = Mode::Device;
        return true;
    }
    if (st.st_nlink <= 1) {
        std::string tmpl;
        int tmp = makeBeside(target, tmpl);
        if (tmp >= 0) {
            // The new file takes the old one's owner and group (chown first: it clears the
            // set-id bits that the mode then restores). Where the process may not give it
            // them, the file is written in place instead, so that it stays the group's.
            struct stat made {};
            bool owned = ::fstat(tmp, &made) == 0 &&
                         ((made.st_uid == st.st_uid && made.st_gid == st.st_gid) ||
                          ::fchown(tmp, st.st_uid, st.st_gid) == 0);
            if (owned && ::fchmod(tmp, st.st_mode & 07777) == 0 && (file_ = ::fdopen(tmp, "wb"))) {
                ::close(fd);
                tmpPath_ = tmpl;
                mode_ = Mode::Replace;
                return true;
            }
            ::close(tmp);
            ::unlink(tmpl.c_str());
        }
    }
    return openInPlace(fd, readable, false);
}

bool TextWriter::openNew(const std::string& target)
{
    std::string tmpl;
    int tmp = makeBeside(target, tmpl);
    if (tmp >= 0) {
        if (::fchmod(tmp, newFileMode()) == 0 && (file_ = ::fdopen(tmp, "wb"))) {
            tmpPath_ = tmpl;
            mode_ = Mode::Replace;
            return true;
        }
        ::close(tmp);
        ::unlink(tmpl.c_str());
    }
    // Where nothing can be made beside it, the file itself is made (and removed again when
    // the save fails).
    int fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    return openInPlace(fd, true, true);
}

bool TextWriter::openInPlace(int fd, bool readable, bool created)
{
    created_ = created;
    haveOld_ = readable && readWhole(fd, oldBytes_);
    fd_ = ::dup(fd);
    if (fd_ < 0 || ::lseek(fd, 0, SEEK_SET) != 0 || !(file_ = ::fdopen(fd, "wb"))) {
        ::close(fd);
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        oldBytes_.clear();
        if (created)
            ::unlink(target_.c_str());
        return false;
    }
    mode_ = Mode::InPlace;
    return true;
}

// Gives a file written in place its old content and length again.
bool TextWriter::putBack()
{
    if (created_)
        return ::unlink(target_.c_str()) == 0;
    if (!haveOld_)
        return false;
    // Bytes past a file-size limit cannot be written again, but they were never overwritten
    // either: what counts is that the file reads as it did.
    [[maybe_unused]] bool rewritten = writeWholeAt(fd_, oldBytes_);
    if (::ftruncate(fd_, static_cast<off_t>(oldBytes_.size())) != 0)
        return false;
    ::fsync(fd_);
    std::string now;
    return ::lseek(fd_, 0, SEEK_SET) == 0 && readWhole(fd_, now) && now == oldBytes_;
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
    if (restoreFailed_)
        showMessage("ERR OPEN " + path + "\n保存前の内容に戻せませんでした");
    else
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
        writeRaw(std::string_view(bytes).substr(start, len));
        if (nl == std::string::npos)
            break;
        writeRaw("\r\n");
        start = nl + 1;
    }
}

void TextWriter::writeRaw(std::string_view bytes)
{
    if (!file_ || bytes.empty())
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        failed_ = true;
    written_ += bytes.size();
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
    // Every byte on the disk before the old file gives way.
    if (!failed_ && mode_ != Mode::Device && ::fsync(::fileno(file_)) != 0)
        failed_ = true;
    if (mode_ == Mode::InPlace && !failed_ && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0)
        failed_ = true;
    if (std::fclose(file_) != 0)
        failed_ = true;
    file_ = nullptr;
    if (mode_ == Mode::Replace) {
        if (failed_ || std::rename(tmpPath_.c_str(), target_.c_str()) != 0) {
            failed_ = true;
            ::unlink(tmpPath_.c_str());
        }
        tmpPath_.clear();
    } else if (mode_ == Mode::InPlace) {
        if (failed_ && !putBack())
            restoreFailed_ = true;
        ::close(fd_);
        fd_ = -1;
        oldBytes_.clear();
        oldBytes_.shrink_to_fit();
    }
    return !failed_;
}
