// Engine layer: fills "%s" and "%u" placeholders of a constant message with texts taken literally,
// so no path or name is ever read as a format.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tandemere::engine {

// Replaces each "%s" (and "%u") of `pattern`, in order, by the next argument. Arguments are
// copied as they are; a "%" in an argument stays a "%". Missing arguments leave nothing.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace tandemere::engine
