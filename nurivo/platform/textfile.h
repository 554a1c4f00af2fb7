// Text files as the system keeps them: CP932 with CR LF on disk, UTF-8 lines in memory.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

// Reads a text file line by line. Lines end in LF or CR LF and are returned whole, however
// long; a last line without an end is still a line; an empty file has no lines.
class TextReader {
public:
    TextReader() = default;
    explicit TextReader(const std::string& path) { open(path); }
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    // False when the file is missing, unreadable or a folder.
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
// The new content replaces the file only when close() finds every write done, so a failed
// save keeps the file that was there.
class TextWriter {
public:
    TextWriter() = default;
    explicit TextWriter(const std::string& path) { open(path); }
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // Creates or truncates the file; false when it cannot be written.
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }

    // Writes UTF-8 text.
    void write(std::string_view utf8);
    // Writes UTF-8 text followed by CR LF.
    void writeLine(std::string_view utf8);
    // printf-style output; "%s" arguments are UTF-8.
    void print(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    // Flushes and closes; false when any write failed on the way.
    bool close();

    // The same two steps for writers that tell the operator: a file that cannot be created,
    // or a write that failed on the way (a full disk), shows "ERR OPEN " + path.
    bool openReporting(const std::string& path);
    bool closeReporting();

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::string path_;
    std::string tmpPath_; // the file being written beside path_, until close puts it in place
};
