#pragma once
// The tool's output files. An output never replaces its target until it is
// complete: it is written beside the target under a temporary name
// ("<target>.<process id>.tmp") and renamed to the target by commit(), so a
// run that fails or is stopped leaves the target as it was (or absent). "-"
// names the standard output.
//
// A Spool holds one file's share of an output (its spectrum rows, its
// windows' rows, ...) while files are analysed in parallel, until the
// shares are written in input order: in memory up to a limit, then in a
// file beside the output's temporary file.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

// The name that means the standard output wherever an output is named.
inline constexpr char kStandardOutputName[] = "-";

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the temporary file beside `path`, or takes `standardOut` for
    // "-". False, with the reason, when the temporary file cannot be made.
    bool open(const std::string& path, std::ostream& standardOut, std::string& reason);
    bool isOpen() const { return stream_ != nullptr; }
    bool isStandardOutput() const { return standardOut_; }
    std::ostream& stream() { return *stream_; }
    const std::string& path() const { return path_; }
    // The temporary file's name; empty for the standard output.
    const std::string& temporaryPath() const { return temporary_; }

    // Flushes and closes the file and renames it to its target (the standard
    // output is flushed only). False, with the reason, when a write failed or
    // the rename did not happen; the temporary file is then removed.
    bool commit(std::string& reason);
    // Closes and removes the temporary file; the target is left alone.
    void discard();

private:
    std::string path_;
    std::string temporary_;
    std::ofstream file_;
    std::ostream* stream_ = nullptr;
    bool standardOut_ = false;
};

class SpoolBuffer final : public std::streambuf {
public:
    // Above `memoryLimit` bytes the text moves to `spillPath` (when not empty).
    explicit SpoolBuffer(std::string spillPath, size_t memoryLimit);
    ~SpoolBuffer() override;
    SpoolBuffer(const SpoolBuffer&) = delete;
    SpoolBuffer& operator=(const SpoolBuffer&) = delete;

    // Writes everything held to `out` and empties the spool. False, with the
    // reason, when the spill file failed (then `out` may hold a part).
    bool copyTo(std::ostream& out, std::string& reason);
    bool empty();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    bool keep(const char* bytes, size_t length);
    void closeSpill();

    std::string spillPath_;
    size_t memoryLimit_;
    std::string memory_;
    std::FILE* spill_ = nullptr;
    bool failed_ = false;
};

// An ostream on a SpoolBuffer.
class Spool {
public:
    explicit Spool(std::string spillPath = std::string(), size_t memoryLimit = size_t(8) << 20)
        : buffer_(std::make_unique<SpoolBuffer>(std::move(spillPath), memoryLimit)),
          stream_(std::make_unique<std::ostream>(buffer_.get())) {}
    std::ostream& stream() { return *stream_; }
    bool copyTo(std::ostream& out, std::string& reason) { return buffer_->copyTo(out, reason); }

private:
    std::unique_ptr<SpoolBuffer> buffer_;
    std::unique_ptr<std::ostream> stream_;
};
