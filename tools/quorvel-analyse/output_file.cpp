#include "tools/quorvel-analyse/output_file.h"

#include <cerrno>
#include <cstring>

#include "tools/quorvel-analyse/file_system.h"

namespace {

std::string withSystemReason(const std::string& what) { return errno != 0 ? what + ": " + std::strerror(errno) : what; }

}  // namespace

bool OutputFile::open(const std::string& path, std::ostream& standardOut, std::string& reason) {
    discard();
    path_ = path;
    if (path == kStandardOutputName) {
        standardOut_ = true;
        stream_ = &standardOut;
        return true;
    }
    temporary_ = path + "." + std::to_string(currentProcessId()) + ".tmp";
    errno = 0;
    file_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!file_.is_open()) {
        reason = withSystemReason("cannot be written");
        temporary_.clear();
        return false;
    }
    stream_ = &file_;
    return true;
}

bool OutputFile::commit(std::string& reason) {
    if (!stream_) return true;
    errno = 0;
    stream_->flush();
    bool good = stream_->good();
    if (standardOut_) {
        stream_ = nullptr;
        standardOut_ = false;
        if (!good) reason = withSystemReason("the standard output could not be written completely");
        return good;
    }
    file_.close();
    good = good && !file_.fail();
    if (!good) {
        reason = withSystemReason("could not be written completely");
        discard();
        return false;
    }
    std::string why;
    if (!replaceFile(temporary_, path_, why)) {
        reason = "could not be put in place (the output is not written): " + why;
        discard();
        return false;
    }
    temporary_.clear();
    stream_ = nullptr;
    return true;
}

void OutputFile::discard() {
    if (file_.is_open()) file_.close();
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
    stream_ = nullptr;
    standardOut_ = false;
}

// ---- Spool -------------------------------------------------------------------

SpoolBuffer::SpoolBuffer(std::string spillPath, size_t memoryLimit)
    : spillPath_(std::move(spillPath)), memoryLimit_(memoryLimit) {}

SpoolBuffer::~SpoolBuffer() { closeSpill(); }

void SpoolBuffer::closeSpill() {
    if (!spill_) return;
    std::fclose(spill_);
    spill_ = nullptr;
    std::remove(spillPath_.c_str());
}

bool SpoolBuffer::keep(const char* bytes, size_t length) {
    if (failed_) return false;
    if (!spill_ && !spillPath_.empty() && memory_.size() + length > memoryLimit_) {
        spill_ = std::fopen(spillPath_.c_str(), "w+b");
        if (!spill_ || std::fwrite(memory_.data(), 1, memory_.size(), spill_) != memory_.size()) {
            failed_ = true;
            return false;
        }
        std::string().swap(memory_);
    }
    if (spill_) {
        if (std::fwrite(bytes, 1, length, spill_) != length) failed_ = true;
        return !failed_;
    }
    memory_.append(bytes, length);
    return true;
}

SpoolBuffer::int_type SpoolBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return keep(&byte, 1) ? c : traits_type::eof();
}

std::streamsize SpoolBuffer::xsputn(const char* s, std::streamsize n) {
    return keep(s, static_cast<size_t>(n)) ? n : 0;
}

int SpoolBuffer::sync() { return failed_ ? -1 : 0; }

bool SpoolBuffer::empty() { return memory_.empty() && !spill_; }

bool SpoolBuffer::copyTo(std::ostream& out, std::string& reason) {
    if (failed_) {
        reason = "a temporary file beside the output could not be written (" + spillPath_ + ")";
        closeSpill();
        return false;
    }
    if (spill_) {
        std::rewind(spill_);
        char chunk[1 << 16];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, spill_)) > 0;) {
            out.write(chunk, static_cast<std::streamsize>(got));
        }
        const bool read = !std::ferror(spill_);
        closeSpill();
        if (!read) {
            reason = "a temporary file beside the output could not be read back (" + spillPath_ + ")";
            return false;
        }
    } else {
        out.write(memory_.data(), static_cast<std::streamsize>(memory_.size()));
        std::string().swap(memory_);
    }
    return true;
}
