#pragma once
// The tool's messages: one line each, "quorvel-analyse: <subject>: <text>",
// the subject being the file (or option) the message concerns.
#include <cstdint>
#include <ostream>
#include <string>

inline constexpr char kProgramName[] = "quorvel-analyse";

class Messages {
public:
    explicit Messages(std::ostream& err) : err_(err) {}
    void error(const std::string& subject, const std::string& text) { say(subject, text); }
    void warning(const std::string& subject, const std::string& text) { say(subject, "warning: " + text); }
    void note(const std::string& subject, const std::string& text) { say(subject, "note: " + text); }
    // Where the messages go; the progress bar shares it.
    std::ostream& stream() { return err_; }

private:
    void say(const std::string& subject, const std::string& text) {
        err_ << kProgramName << ": " << (subject.empty() ? "" : subject + ": ") << text << '\n' << std::flush;
    }
    std::ostream& err_;
};

// "1 row", "2 rows".
inline std::string plural(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
