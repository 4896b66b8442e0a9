// UI layer (terminal): prompt texts, locale formatting and typed answers.
#include "ui/tty/tty_text.h"

#include <langinfo.h>

#include <ctime>

#include "engine/move_summary.h"

namespace tandemere::tty {

namespace {

constexpr int kLocaleMask = LC_NUMERIC_MASK | LC_TIME_MASK;
// Seconds from 1601-01-01 (where file times count from) to 1970-01-01.
constexpr std::int64_t kFileTimeToUnixSeconds = 11644473600;
constexpr std::uint64_t kTicksPerSecond = 10000000;

locale_t OpenLocale(const char* name) {
    locale_t loc = ::newlocale(kLocaleMask, name, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr))
        loc = ::newlocale(kLocaleMask, "C", static_cast<locale_t>(nullptr));
    return loc;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

UserLocale::UserLocale() : m_hLocale(OpenLocale("")) {}

UserLocale::UserLocale(const char* name) : m_hLocale(OpenLocale(name)) {}

UserLocale::~UserLocale() {
    if (m_hLocale != static_cast<locale_t>(nullptr)) ::freelocale(m_hLocale);
}

std::string UserLocale::ThousandsSeparator() const {
    const char* sep =
        m_hLocale != static_cast<locale_t>(nullptr) ? ::nl_langinfo_l(THOUSEP, m_hLocale) : nullptr;
    if (sep == nullptr || *sep == '\0') return ",";
    return sep;
}

const char* UserLocale::DecimalPoint() const {
    const char* point =
        m_hLocale != static_cast<locale_t>(nullptr) ? ::nl_langinfo_l(RADIXCHAR, m_hLocale) : nullptr;
    return point == nullptr || *point == '\0' ? "." : point;
}

std::string UserLocale::FormatFileTime(std::uint64_t fileTime) const {
    const auto seconds = static_cast<std::int64_t>(fileTime / kTicksPerSecond) - kFileTimeToUnixSeconds;
    const auto when = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr) return "?";
    // ISO order: a short local date such as "03/04/19" reads as two different days across the world.
    char text[64] = "";
    ::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string GroupDigits(std::uint64_t number, std::string_view separator) {
    const std::string digits = std::to_string(number);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

std::string FormatByteCount(std::uint64_t size, const UserLocale& locale) {
    const std::string exact = GroupDigits(size, locale.ThousandsSeparator()) + " bytes";
    if (size < 1024) return exact;
    std::string rounded = engine::FormatByteSize(size);
    const char* point = locale.DecimalPoint();
    if (const std::size_t dot = rounded.find('.'); dot != std::string::npos) rounded.replace(dot, 1, point);
    return rounded + " (" + exact + ")";
}

char Mnemonic(std::string_view caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return LowerAscii(caption[i + 1]);
    }
    return 0;
}

std::string StripMnemonic(std::string_view caption) {
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

std::string ToPlatformLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

TypedAnswer ParseTypedAnswer(std::string_view line) {
    TypedAnswer answer;
    line = Trim(line);
    if (line.empty() || !IsAsciiLetter(line.front())) return answer;
    answer.m_chLetter = LowerAscii(line.front());
    for (char c : line.substr(1)) {
        bool& flag = (c == '+') ? answer.m_bThisMove : answer.m_bEveryMove;
        if ((c != '+' && c != '!') || flag) return TypedAnswer{};
        flag = true;
    }
    answer.m_bValid = true;
    return answer;
}

YesNo ParseYesNo(std::string_view line) {
    line = Trim(line);
    std::string lower;
    for (char c : line) lower += LowerAscii(c);
    if (lower == "y" || lower == "yes") return YesNo::Yes;
    if (lower == "n" || lower == "no") return YesNo::No;
    return YesNo::Unclear;
}

}  // namespace tandemere::tty
