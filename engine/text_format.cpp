// Engine layer: literal placeholder filling for log lines, error texts and prompt texts.
#include "engine/text_format.h"

namespace tandemere::engine {

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 64);
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'u')) {
            if (next != args.end()) out += *next++;
            ++i;
            continue;
        }
        out += c;
    }
    return out;
}

}  // namespace tandemere::engine
