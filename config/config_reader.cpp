#include "config/config_reader.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "config/text_copy.h"
#include "platform/file_io.h"

// Letters fold to upper case; digits and + - . _ stay; ';' and ':' become the
// comment mark ';'; every other byte, line end and 0x80..0xFF included,
// becomes a blank.
const unsigned char kConfigCharMap[256] = {
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0x00
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0x10
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', '+', ' ', '-', '.', ' ',  // 0x20
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', ';', ';', ' ', ' ', ' ', ' ',  // 0x30
    ' ', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O',  // 0x40
    'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', ' ', ' ', ' ', ' ', '_',  // 0x50
    ' ', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O',  // 0x60
    'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', ' ', ' ', ' ', ' ', ' ',  // 0x70
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0x80
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0x90
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0xA0
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0xB0
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0xC0
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0xD0
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0xE0
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',  // 0xF0
};

namespace {

// A converted value token.
struct Number {
    int32_t integer;  // low 32 bits, or a real rounded half up
    double real;
};

// Only the first this many characters of a key take part in the search.
constexpr int kMaxKeyChars = 256;
// Only the first this many characters of a real token (after its sign) are
// converted.
constexpr int kMaxRealChars = 100;

// Bytes up to 0x20 separate tokens: blanks, and 0 at each line end.
bool separates(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Integer result of a real: value + 0.5 truncated toward zero. Values beyond
// the int32 range saturate instead of overflowing the conversion.
int32_t roundToInt32(double value) {
    const double shifted = value + 0.5;
    if (shifted != shifted) return 0;
    if (shifted >= 2147483648.0) return INT32_MAX;
    if (shifted <= -2147483649.0) return INT32_MIN;
    return static_cast<int32_t>(shifted);
}

Number fromBits(uint64_t bits) {
    return {static_cast<int32_t>(static_cast<uint32_t>(bits)), static_cast<double>(static_cast<int64_t>(bits))};
}

// Converts one token of `length` bytes (all above 0x20).
bool convertToken(const char* token, int length, Number& out) {
    // 0X and hexadecimal digits, accumulated in 64 bits (wrapping).
    if (length >= 2 && token[0] == '0' && token[1] == 'X') {
        uint64_t bits = 0;
        for (int i = 2; i < length; ++i) {
            const char c = token[i];
            unsigned digit;
            if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
            else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
            else return false;
            bits = bits * 16 + digit;
        }
        out = fromBits(bits);
        return true;
    }

    int i = 0;
    const bool negative = token[0] == '-';
    if (token[0] == '+' || token[0] == '-') i = 1;
    const int bodyStart = i;
    int bodyEnd = length;
    int dots = 0;
    int marks = 0;  // exponent marks D and E
    uint64_t factor = 1;
    for (; i < length; ++i) {
        const char c = token[i];
        if (c >= '0' && c <= '9') continue;
        if (c == '.') {
            ++dots;
            continue;
        }
        if (c == 'D' || c == 'E') {
            ++marks;
            continue;
        }
        if ((c == '+' || c == '-') && marks == 1) continue;
        if (i == length - 1) {
            if (c == 'K') factor = 1024;
            else if (c == 'M') factor = 1048576;
            else if (c == 'T') factor = 1000;
            else if (c == 'L') factor = 1000000;
            else return false;
            bodyEnd = i;
            break;
        }
        return false;
    }

    if (dots == 0 && marks == 0) {
        uint64_t bits = 0;
        for (int k = bodyStart; k < bodyEnd; ++k) bits = bits * 10 + static_cast<unsigned>(token[k] - '0');
        bits *= factor;
        if (negative) bits = 0 - bits;
        out = fromBits(bits);
        return true;
    }
    if ((dots | marks) != 1) return false;

    // strtod with D read as E; the program keeps the "C" numeric locale.
    char text[kMaxRealChars + 1];
    int n = 0;
    for (int k = bodyStart; k < bodyEnd && n < kMaxRealChars; ++k) text[n++] = token[k] == 'D' ? 'E' : token[k];
    text[n] = 0;
    double value = std::strtod(text, nullptr) * static_cast<double>(factor);
    if (negative) value = -value;
    out.real = value;
    out.integer = roundToInt32(value);
    return true;
}

// Parses the token that starts at the first non-blank byte from pos on, in
// pos's line; pos moves past the token whether it converts or not. A line with
// no further token fails.
bool parseNumber(const char* text, int32_t& pos, Number& out) {
    while (text[pos] != 0 && separates(text[pos])) ++pos;
    const int32_t start = pos;
    while (!separates(text[pos])) ++pos;
    if (pos == start) return false;
    return convertToken(text + start, pos - start, out);
}

}  // namespace

ConfigReader::ConfigReader(const char* fileName) {
    size_t length = 0;
    std::unique_ptr<char[]> bytes = readWholeFile(fileName, kMaxFileBytes, length);
    adopt(std::move(bytes), length);
}

ConfigReader::ConfigReader(const char* bytes, size_t length) {
    if (!bytes || length < 1 || length > kMaxFileBytes) return;
    std::unique_ptr<char[]> copy(new (std::nothrow) char[length + 1]);
    if (!copy) return;
    std::memcpy(copy.get(), bytes, length);
    adopt(std::move(copy), length);
}

void ConfigReader::adopt(std::unique_ptr<char[]> bytes, size_t length) {
    if (!bytes || length < 1 || length > kMaxFileBytes) return;
    text_ = std::move(bytes);
    length_ = static_cast<int32_t>(length);
    normalise();
}

void ConfigReader::normalise() {
    unsigned char* text = reinterpret_cast<unsigned char*>(text_.get());
    bool inQuote = false;
    bool inComment = false;
    int slashCount = 0;
    for (int32_t p = 0; p < length_; ++p) {
        const unsigned char c = text[p];
        if (!inQuote && !inComment && (c == '\\' || c == '/')) ++slashCount;
        if (c == '\n') {
            // A line with exactly one unquoted slash continues on the next.
            text[p] = slashCount == 1 ? ' ' : 0;
            inQuote = false;
            inComment = false;
            slashCount = 0;
            continue;
        }
        if (inQuote && c != '"') continue;  // quoted bytes stay as read
        unsigned char mapped = kConfigCharMap[c];
        if (c == '"') inQuote = !inQuote;
        if (mapped == ';') {
            inComment = true;
            mapped = ' ';
        } else if (inComment) {
            mapped = ' ';
        }
        text[p] = mapped;
    }
    text[length_] = 0;
}

int32_t ConfigReader::findKey(const char* key) const {
    if (!key) return -1;
    char wanted[kMaxKeyChars + 1];
    int wantedLength = 0;
    for (int i = 0; i < kMaxKeyChars && key[i] != 0; ++i) {
        const char c = static_cast<char>(kConfigCharMap[static_cast<unsigned char>(key[i]) & 0x7F]);
        if (wantedLength == 0 && c == ' ') continue;
        wanted[wantedLength++] = c;
    }
    wanted[wantedLength] = 0;
    if (wantedLength == 0) return -1;

    // Lines end at 0 bytes, and text_[length_] is 0, so no comparison runs past
    // the line or the buffer.
    const char* text = text_.get();
    for (int32_t p = 0; p < length_; ++p) {
        if (text[p] != wanted[0] || (p > 0 && !separates(text[p - 1]))) continue;
        int k = 1;
        int32_t q = p + 1;
        bool same = true;
        while (wanted[k] != 0) {
            if (wanted[k] == ' ') {
                ++k;
                continue;
            }
            if (text[q] == 0) {
                same = false;
                break;
            }
            if (text[q] == ' ') {
                ++q;
                continue;
            }
            if (text[q] != wanted[k]) {
                same = false;
                break;
            }
            ++k;
            ++q;
        }
        if (same && separates(text[q])) return q;
    }
    return -1;
}

int ConfigReader::readString(const char* key, char* dest, int size, const char* defaultText) const {
    if (empty()) return -1;
    if (!dest || size <= 0) return 0;
    int32_t pos = findKey(key);
    if (pos < 0) {
        if (defaultText && defaultText[0] != 0) copyBounded(dest, size, defaultText);
        return 0;
    }
    const char* text = text_.get();
    while (text[pos] == ' ') ++pos;
    copyBounded(dest, size, text + pos);
    // Trailing blanks go; the first character always stays.
    for (int n = static_cast<int>(std::strlen(dest)); n > 1 && dest[n - 1] == ' '; --n) dest[n - 1] = 0;
    return 1;
}

// The key's first value token, taken from its Number by `pick`; the default
// rule: a missing key or a token that is no number gives def, unless def is 0.
template <typename T, typename Pick>
int ConfigReader::readNumber(const char* key, T* dest, T def, Pick pick) const {
    if (empty()) return -1;
    if (!dest) return 0;
    int32_t pos = findKey(key);
    Number value;
    if (pos >= 0 && parseNumber(text_.get(), pos, value)) {
        *dest = static_cast<T>(pick(value));
        return 1;
    }
    if (def != 0) *dest = def;
    return 0;
}

int ConfigReader::readInt(const char* key, int32_t* dest, int32_t def) const {
    return readNumber(key, dest, def, [](const Number& n) { return n.integer; });
}

int ConfigReader::readDouble(const char* key, double* dest, double def) const {
    return readNumber(key, dest, def, [](const Number& n) { return n.real; });
}

int ConfigReader::readFloat(const char* key, float* dest, float def) const {
    return readNumber(key, dest, def, [](const Number& n) { return n.real; });
}

int ConfigReader::readIntList(const char* key, int32_t* values, int maxCount) const {
    if (empty()) return -1;
    if (!values || maxCount <= 0) return 0;
    int32_t pos = findKey(key);
    if (pos < 0) return 0;
    int count = 0;
    Number value;
    while (count < maxCount && parseNumber(text_.get(), pos, value)) values[count++] = value.integer;
    return count;
}

int ConfigReader::countValues(const char* key) const {
    if (empty()) return -1;
    int32_t pos = findKey(key);
    if (pos < 0) return 0;
    int count = 0;
    Number value;
    while (parseNumber(text_.get(), pos, value)) ++count;
    return count;
}
