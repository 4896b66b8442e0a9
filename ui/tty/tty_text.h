// UI layer (terminal): the texts a terminal prompt shows, sizes and dates in the user's locale, and
// the reading of a typed answer.
#pragma once

#include <locale.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tandemere::tty {

// The user's locale for numbers and dates, owned for the life of the object. The global locale of
// the process is not touched, so nothing else (the engine included) changes behaviour with it.
class UserLocale {
public:
    // From the environment (LC_ALL, LC_NUMERIC / LC_TIME, LANG); "C" when it names no installed locale.
    UserLocale();
    // A named locale ("de_DE.UTF-8"); "C" when it is not installed.
    explicit UserLocale(const char* name);
    ~UserLocale();
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;

    // The thousands separator; "," where the locale has none (the C locale), since digits are
    // always grouped in threes.
    std::string ThousandsSeparator() const;
    // The decimal point; "." where the locale names none.
    const char* DecimalPoint() const;
    // The local date and time of a file time as "2019-03-04 05:06:07".
    std::string FormatFileTime(std::uint64_t fileTime) const;

private:
    locale_t m_hLocale = static_cast<locale_t>(nullptr);
};

// "1,234,567": an unsigned number grouped in threes with the given separator, no decimal part.
std::string GroupDigits(std::uint64_t number, std::string_view separator);
// "1.2 MiB (1,234,567 bytes)" with the user's thousands separator; "512 bytes" below 1 KiB.
std::string FormatByteCount(std::uint64_t size, const UserLocale& locale);

// The letter after "&" in a caption, lower case; 0 when there is none ("&&" is a literal "&").
char Mnemonic(std::string_view caption);
// The caption as a window shows it: "&Delete" reads "Delete".
std::string StripMnemonic(std::string_view caption);

// The log's and the prompts' "\r\n" as this platform's line end.
std::string ToPlatformLineEnds(std::string_view text);

// One typed answer line: a letter, optionally followed by "+" ("...for this move") and/or "!"
// ("...for every move"); blanks around it and a final "\r" are ignored.
struct TypedAnswer {
    bool m_bValid = false;
    char m_chLetter = 0;  // lower case
    bool m_bThisMove = false;
    bool m_bEveryMove = false;
};
TypedAnswer ParseTypedAnswer(std::string_view line);

// "yes" for y/yes, "no" for n/no (either case), nothing for anything else.
enum class YesNo : std::uint8_t { Yes, No, Unclear };
YesNo ParseYesNo(std::string_view line);

}  // namespace tandemere::tty
