// Text files as the system keeps them: CP932 with CR LF on disk, UTF-8 lines in memory.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// Opens `path` for reading without ever blocking: a FIFO, a device or a folder is refused, so
// a reader can never hang on one or read without end. The descriptor (blocking, close-on-exec)
// of a regular file, or -1.
int openRegularFile(const std::string& path);

// Reads a text file line by line. Lines end in LF or CR LF and are returned whole, however
// long; a last line without an end is still a line; an empty file has no lines.
class TextReader {
public:
    TextReader() = default;
    explicit TextReader(const std::string& path) { open(path); }
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    // False when the file is missing or unreadable, or is not a regular file (a folder, a
    // FIFO, a device).
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    void close();

    // The next line decoded to UTF-8, without its end; false at the end of the file.
    bool readLine(std::string& line);
    // The next line as raw bytes (for files known to be ASCII, such as vector files).
    bool readRawLine(std::string& bytes);

private:
    bool fill();

    std::FILE* file_ = nullptr;
    std::string buf_;
    size_t pos_ = 0;
    bool eof_ = false;
};

// Writes a text file in CP932 with CR LF line ends. A "\n" in what is written becomes CR LF.
// A save that reports failure leaves the file that was there byte for byte, in every case
// short of a crash half-way:
// - The new content is written beside the file (beside a link's real target) and renamed over
//   it only when every byte is out; the old owner, group and mode go with it.
// - Where no file can be made beside it, where the file has further hard links, or where the
//   process may not give a new file the old owner and group, the file is written in place
//   without cutting it first: new bytes over the old, then cut to the new length. The old
//   content is held in memory and put back, at its old length, when a write fails. A crash in
//   the middle of such a save can still leave a mix of both; that is the price of keeping the
//   links and the ownership.
// - A file the process may not open for writing is refused, as an open for writing would be.
// - Only close() puts the new content in place: a writer destroyed before it (its saver left by
//   an exception) leaves the old file as it was.
class TextWriter {
public:
    TextWriter() = default;
    explicit TextWriter(const std::string& path) { open(path); }
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // Starts a save of the file; false when it cannot be written.
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }

    // Writes UTF-8 text.
    void write(std::string_view utf8);
    // Writes UTF-8 text followed by CR LF.
    void writeLine(std::string_view utf8);
    // printf-style output; "%s" arguments are UTF-8.
    void print(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    // Writes bytes as they are, with no conversion of text or line ends.
    void writeRaw(std::string_view bytes);

    // Puts the new content in place; false when any write failed on the way (the old file
    // then stands as it was).
    bool close();
    // After a failed close: the file written in place could not be given its old content back.
    bool restoreFailed() const { return restoreFailed_; }

    // The same two steps for writers that tell the operator: a file that cannot be created,
    // or a write that failed on the way (a full disk), shows "ERR OPEN " + path.
    bool openReporting(const std::string& path);
    bool closeReporting();

private:
    enum class Mode { Replace, InPlace, Device };

    bool openExisting(const std::string& target);
    bool openNew(const std::string& target);
    bool openInPlace(int fd, bool readable, bool created);
    bool putBack();

    std::FILE* file_ = nullptr;
    Mode mode_ = Mode::Replace;
    bool failed_ = false;
    bool restoreFailed_ = false;
    std::string path_;     // as the caller named it, for messages
    std::string target_;   // the file itself, links resolved
    std::string tmpPath_;  // Replace: the file being written beside target_
    int fd_ = -1;          // InPlace: a second descriptor of the target, for cutting and putting back
    bool created_ = false; // InPlace: the file did not exist before this save
    bool haveOld_ = false; // InPlace: oldBytes_ holds the whole old content
    std::string oldBytes_;
    uint64_t written_ = 0;
};
