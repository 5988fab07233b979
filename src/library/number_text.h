#pragma once

// Numbers to and from text the same way whatever the locale (the window's
// application object sets the user's, whose decimal mark may be a comma):
// databases and CSV readers want a point.

#include <optional>
#include <string>
#include <string_view>

namespace library {

// The whole text as a finite decimal number, or nothing.
std::optional<double> ParseDecimal(std::string_view text);
// "49.200000" with `decimals` places.
std::string FixedDecimal(double value, int decimals);
// The shortest text that reads back as exactly `value`.
std::string ExactDecimal(double value);

}  // namespace library
