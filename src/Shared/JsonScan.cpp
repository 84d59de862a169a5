#include "Shared/JsonScan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velquist {

const JsonMember* JsonObjectScan::find(std::string_view key) const
{
    for (auto it = members.rbegin(); it != members.rend(); ++it) {
        if (it->key.size() == key.size() + 2 && it->key.substr(1, key.size()) == key)
            return &*it;
        // Only a key written with escapes can equal `key` without matching it byte for byte.
        if (it->key.find('\\') != std::string_view::npos && JsonScan::stringValue(it->key) == key)
            return &*it;
    }
    return nullptr;
}

namespace JsonScan {

namespace {

// Bytes that end the fast path inside a string: the quote, the backslash, control characters
// and every byte of a multi-byte UTF-8 sequence.
constexpr std::array<bool, 256> makeSpecialTable()
{
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = c < 0x20 || c == '"' || c == '\\' || c >= 0x80;
    return table;
}
constexpr std::array<bool, 256> kSpecial = makeSpecialTable();

// The length of the well-formed UTF-8 sequence at `p`, or 0.
std::size_t sequenceLength(const unsigned char* p, const unsigned char* end)
{
    const unsigned char lead = p[0];
    auto continuation = [&](std::size_t i, unsigned char low = 0x80, unsigned char high = 0xBF) {
        return p + i < end && p[i] >= low && p[i] <= high;
    };
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return continuation(1, low, high) && continuation(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(1, low, high) && continuation(2) && continuation(3) ? 4 : 0;
    }
    return 0;
}

int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The least decimal that reads as infinity when rounded to a double: halfway between the largest
// double and 2^1024, which rounds to the even 2^1024.
constexpr std::string_view kInfinityDigits =
    "179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017977587"
    "207096330286416692887910946555547851940402630657488671505820681908902000708383676273854845817711"
    "531764475730270069855571366959622842914819860834936475292719074168444365510704342711559699508093"
    "042880177904174497792";

// Whether the number with these integer, fraction and exponent digits (the exponent with its sign,
// or empty) reads as infinity in a double, as a strict parser refuses it. Exact and independent of
// the locale: the number's power of ten decides, and at the boundary's power its digits do.
bool overflowsDouble(std::string_view integer, std::string_view fraction, std::string_view exponent)
{
    // The significant digits and the power of ten of the first of them.
    const bool integerIsZero = integer == "0";
    std::string_view significant = integerIsZero ? fraction : integer;
    std::int64_t power = integerIsZero ? -1 : static_cast<std::int64_t>(integer.size()) - 1;
    if (integerIsZero) {
        const std::size_t zeros = std::min(significant.find_first_not_of('0'), significant.size());
        significant.remove_prefix(zeros);
        power -= static_cast<std::int64_t>(zeros);
    }
    if (significant.empty())
        return false; // zero
    if (!exponent.empty()) {
        const bool negative = exponent.front() == '-';
        if (exponent.front() == '+' || negative)
            exponent.remove_prefix(1);
        std::int64_t value = 0;
        for (const char c : exponent)
            value = std::min<std::int64_t>(value * 10 + (c - '0'), 1'000'000'000'000);
        power += negative ? -value : value;
    }
    const auto boundary = static_cast<std::int64_t>(kInfinityDigits.size()) - 1;
    if (power != boundary)
        return power > boundary;
    // At the boundary's power of ten the digits decide, the fraction's after the integer's.
    std::size_t index = 0;
    for (const std::string_view part : {significant, integerIsZero ? std::string_view() : fraction}) {
        for (const char c : part) {
            if (index == kInfinityDigits.size())
                return true; // equal to the boundary so far: at least the boundary
            if (c != kInfinityDigits[index])
                return c > kInfinityDigits[index];
            ++index;
        }
    }
    return index == kInfinityDigits.size();
}

class Scanner
{
  public:
    Scanner(std::string_view text, int depthLimit)
        : m_begin(reinterpret_cast<const unsigned char*>(text.data())), m_p(m_begin),
          m_end(m_begin + text.size()), m_depthLimit(depthLimit)
    {
    }

    std::optional<JsonObjectScan> run();

  private:
    enum class Kind : unsigned char { object, array };

    void skipWhiteSpace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }
    void skipPlain();
    bool string();
    bool escape();
    bool number();
    bool literal(std::string_view word);
    bool key();
    std::string_view span(const unsigned char* from) const
    {
        return {reinterpret_cast<const char*>(from), static_cast<std::size_t>(m_p - from)};
    }

    const unsigned char* m_begin;
    const unsigned char* m_p;
    const unsigned char* m_end;
    int m_depthLimit;
    bool m_clean = true; // of the current top-level member
};

// Reads one escape after its backslash. Only running out of text fails; an escape a strict parser
// refuses marks the member unclean.
bool Scanner::escape()
{
    if (m_p >= m_end)
        return false;
    const unsigned char c = *m_p++;
    switch (c) {
    case '"':
    case '\\':
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't':
        return true;
    case 'u':
        break;
    default:
        m_clean = false;
        return true;
    }
    auto readHex = [&]() -> int {
        if (m_end - m_p < 4)
            return -1;
        int value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(m_p[i]);
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
        }
        m_p += 4;
        return value;
    };
    const int unit = readHex();
    if (unit < 0) {
        m_clean = false;
        return true;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        m_clean = false;
    } else if (unit >= 0xD800 && unit <= 0xDBFF) {
        // A high surrogate is only whole with a low one escaped right after it.
        if (m_end - m_p >= 2 && m_p[0] == '\\' && m_p[1] == 'u') {
            m_p += 2;
            const int low = readHex();
            if (low < 0xDC00 || low > 0xDFFF)
                m_clean = false;
        } else {
            m_clean = false;
        }
    }
    return true;
}

#if defined(__SSE2__)
// One bit for each of the 16 bytes at `p` that needs a look of its own inside a string: the
// quote, the backslash, control characters and every byte of a multi-byte UTF-8 sequence.
unsigned specialMask(const unsigned char* p)
{
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    // As signed bytes, everything below 0x20 and everything from 0x80 up is less than 0x20.
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i special =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
                     _mm_cmplt_epi8(bytes, space));
    return static_cast<unsigned>(_mm_movemask_epi8(special));
}
#endif

// Whether the byte after a backslash makes an escape that is whole by itself.
bool isShortEscape(unsigned char c)
{
    return c == '"' || c == '\\' || c == '/' || c == 'b' || c == 'f' || c == 'n' || c == 'r' || c == 't';
}

// Moves to the next byte inside a string that needs a look of its own.
void Scanner::skipPlain()
{
    while (m_p < m_end && !kSpecial[*m_p])
        ++m_p;
}

// Hook payloads are mostly long strings (file contents, command output) with an escape or a
// non-ASCII character every few dozen bytes, so this is where the time goes. Blocks of 32 bytes
// are classified at once, and the special bytes of a block are taken in turn from its mask
// rather than by classifying the bytes after each of them again.
bool Scanner::string()
{
    ++m_p; // the opening quote
#if defined(__SSE2__)
    while (m_end - m_p >= 32) {
        const unsigned char* const block = m_p;
        std::uint32_t mask = specialMask(block) | (specialMask(block + 16) << 16);
        m_p = block + 32;
        while (mask != 0) {
            const unsigned at = static_cast<unsigned>(__builtin_ctz(mask));
            const unsigned char* p = block + at;
            const unsigned char c = *p;
            if (c == '"') {
                m_p = p + 1;
                return true;
            }
            std::size_t length = 1;
            if (c == '\\') {
                if (p + 1 < m_end && isShortEscape(p[1])) {
                    length = 2;
                } else {
                    m_p = p + 1;
                    if (!escape())
                        return false;
                    break; // the escape may run past the block; go on from where it ends
                }
            } else if (c < 0x20) {
                m_clean = false;
            } else {
                length = sequenceLength(p, m_end);
                if (length == 0) {
                    m_clean = false;
                    length = 1;
                }
            }
            const std::size_t next = at + length;
            if (next >= 32) {
                m_p = block + next;
                break;
            }
            mask &= ~std::uint32_t{0} << next;
        }
    }
#endif
    for (;;) {
        skipPlain();
        if (m_p >= m_end)
            return false;
        const unsigned char c = *m_p;
        if (c == '"') {
            ++m_p;
            return true;
        }
        if (c == '\\') {
            ++m_p;
            if (!escape())
                return false;
        } else if (c < 0x20) {
            m_clean = false;
            ++m_p;
        } else {
            const std::size_t length = sequenceLength(m_p, m_end);
            if (length == 0) {
                m_clean = false;
                ++m_p;
            } else {
                m_p += length;
            }
        }
    }
}

bool Scanner::number()
{
    auto digits = [&] {
        const unsigned char* first = m_p;
        while (m_p < m_end && *m_p >= '0' && *m_p <= '9')
            ++m_p;
        return span(first);
    };
    if (*m_p == '-')
        ++m_p;
    std::string_view integer;
    if (m_p < m_end && *m_p == '0') {
        ++m_p;
        integer = span(m_p - 1);
    } else if ((integer = digits()).empty())
        return false;
    std::string_view fraction;
    if (m_p < m_end && *m_p == '.') {
        ++m_p;
        if ((fraction = digits()).empty())
            return false;
    }
    std::string_view exponent;
    if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
        ++m_p;
        const unsigned char* sign = m_p;
        if (m_p < m_end && (*m_p == '+' || *m_p == '-'))
            ++m_p;
        if (digits().empty())
            return false;
        exponent = span(sign);
    }
    // Without an exponent and with at most 308 integer digits the number is below the largest
    // double; past that, a strict parser refuses a number that reads as infinity.
    if ((!exponent.empty() || integer.size() > 308) && overflowsDouble(integer, fraction, exponent))
        m_clean = false;
    return true;
}

bool Scanner::literal(std::string_view word)
{
    if (static_cast<std::size_t>(m_end - m_p) < word.size() ||
        std::string_view(reinterpret_cast<const char*>(m_p), word.size()) != word)
        return false;
    m_p += word.size();
    return true;
}

bool Scanner::key()
{
    skipWhiteSpace();
    if (m_p >= m_end || *m_p != '"' || !string())
        return false;
    skipWhiteSpace();
    if (m_p >= m_end || *m_p != ':')
        return false;
    ++m_p;
    return true;
}

std::optional<JsonObjectScan> Scanner::run()
{
    if (m_end - m_p >= 3 && m_p[0] == 0xEF && m_p[1] == 0xBB && m_p[2] == 0xBF)
        m_p += 3;
    skipWhiteSpace();
    if (m_p >= m_end || *m_p != '{' || m_depthLimit < 1)
        return std::nullopt;

    JsonObjectScan scan;
    const unsigned char* objectStart = m_p;
    std::vector<Kind> stack;
    stack.reserve(16);
    const unsigned char* keyStart = nullptr;
    const unsigned char* keyEnd = nullptr;
    const unsigned char* valueStart = nullptr;

    // At the top object's level a key starts a member; the member ends with its value.
    auto beginMember = [&]() -> bool {
        skipWhiteSpace();
        m_clean = true;
        keyStart = m_p;
        if (m_p >= m_end || *m_p != '"' || !string())
            return false;
        keyEnd = m_p;
        skipWhiteSpace();
        if (m_p >= m_end || *m_p != ':')
            return false;
        ++m_p;
        skipWhiteSpace();
        valueStart = m_p;
        return true;
    };

    // The top-level object is opened here; every later value goes through the loop.
    ++m_p;
    stack.push_back(Kind::object);
    skipWhiteSpace();
    if (m_p < m_end && *m_p == '}') {
        ++m_p;
        stack.pop_back();
    } else if (!beginMember()) {
        return std::nullopt;
    }

    while (!stack.empty()) {
        // A value.
        skipWhiteSpace();
        if (m_p >= m_end)
            return std::nullopt;
        const unsigned char first = *m_p;
        if (first == '{' || first == '[') {
            if (static_cast<int>(stack.size()) >= m_depthLimit)
                return std::nullopt;
            const bool isObject = first == '{';
            ++m_p;
            skipWhiteSpace();
            if (m_p < m_end && *m_p == (isObject ? '}' : ']')) {
                ++m_p;
            } else {
                if (isObject && !key())
                    return std::nullopt;
                stack.push_back(isObject ? Kind::object : Kind::array);
                continue;
            }
        } else if (first == '"') {
            if (!string())
                return std::nullopt;
        } else if (first == 't' || first == 'f' || first == 'n') {
            if (!literal(first == 't' ? "true" : first == 'f' ? "false" : "null"))
                return std::nullopt;
        } else if (first == '-' || (first >= '0' && first <= '9')) {
            if (!number())
                return std::nullopt;
        } else {
            return std::nullopt;
        }

        // After a complete value: a comma, or the end of its container (which completes that
        // container as a value in turn).
        for (;;) {
            if (stack.size() == 1) {
                scan.members.push_back({span(keyStart).substr(0, static_cast<std::size_t>(keyEnd - keyStart)),
                                        span(valueStart), m_clean});
                scan.clean = scan.clean && m_clean;
            }
            skipWhiteSpace();
            if (m_p >= m_end)
                return std::nullopt;
            const unsigned char c = *m_p++;
            if (c == ',') {
                if (stack.back() == Kind::object && !(stack.size() == 1 ? beginMember() : key()))
                    return std::nullopt;
                break;
            }
            if (c != (stack.back() == Kind::object ? '}' : ']'))
                return std::nullopt;
            stack.pop_back();
            if (stack.empty())
                break;
        }
    }
    scan.object = span(objectStart);
    skipWhiteSpace();
    if (m_p != m_end)
        return std::nullopt;
    return scan;
}

} // namespace

std::optional<JsonObjectScan> scanObject(std::string_view text, int depthLimit)
{
    return Scanner(text, depthLimit).run();
}

std::optional<std::string> stringValue(std::string_view token)
{
    if (token.size() < 2 || token.front() != '"' || token.back() != '"')
        return std::nullopt;
    const std::string_view inner = token.substr(1, token.size() - 2);
    if (inner.find('\\') == std::string_view::npos) {
        for (const char c : inner) {
            if (static_cast<unsigned char>(c) < 0x20 || c == '"')
                return std::nullopt;
        }
        if (!isUtf8(inner))
            return std::nullopt;
        return std::string(inner);
    }
    const auto value = Json::parse(token);
    if (!value || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

bool isUtf8(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const std::size_t length = sequenceLength(p, end);
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}

std::size_t utf8Length(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    return sequenceLength(p, p + text.size());
}

} // namespace JsonScan
} // namespace velquist
