#pragma once
// Reader of the program's small key-and-value text files (Quorvel.cfg,
// Quorvel.sav). The whole file is loaded once and normalised in one pass:
// letters are upper-cased outside quotes, ';' and ':' start a comment, most
// punctuation becomes a blank, a line with exactly one unquoted '/' or '\' is
// joined with the next. Look-ups then find a key at the start of any token.
//
// Result codes of the look-ups: -1 empty reader (nothing written), 0 key not
// found or value not a number (the default rule applied), 1 found.
#include <cstddef>
#include <cstdint>
#include <memory>

// Normalised form of every input byte.
extern const unsigned char kConfigCharMap[256];

class ConfigReader {
public:
    // Largest file that is read; a larger, empty or missing file gives an
    // empty reader.
    static constexpr size_t kMaxFileBytes = 131072;

    explicit ConfigReader(const char* fileName);
    // Reads text already in memory, as if it were a file's bytes.
    ConfigReader(const char* bytes, size_t length);

    bool empty() const { return !text_; }

    // Copies the rest of the key's line (at most size - 1 bytes, trailing
    // blanks removed). Key missing: copies defaultText when it is present and
    // not empty, else leaves dest alone.
    int readString(const char* key, char* dest, int size, const char* defaultText) const;
    // First value token. Missing or not a number: dest = def unless def is 0.
    int readInt(const char* key, int32_t* dest, int32_t def) const;
    int readDouble(const char* key, double* dest, double def) const;
    int readFloat(const char* key, float* dest, float def) const;
    // Successive numbers into values[0..maxCount); returns how many were stored.
    int readIntList(const char* key, int32_t* values, int maxCount) const;
    // Number of consecutive valid numbers after the key.
    int countValues(const char* key) const;

private:
    template <typename T, typename Pick>
    int readNumber(const char* key, T* dest, T def, Pick pick) const;
    // Takes a buffer of length + 1 bytes holding the file's bytes.
    void adopt(std::unique_ptr<char[]> bytes, size_t length);
    void normalise();
    // The shared key search: the position right after the key's first match
    // in file order (its value starts there), or -1 when the key is absent.
    int32_t findKey(const char* key) const;

    std::unique_ptr<char[]> text_;  // length_ + 1 bytes, text_[length_] == 0
    int32_t length_ = 0;
};
