// Reading what the preference tools print.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmoryn {

// The bytes decoded as UTF-8 with leading and trailing white space and line
// breaks (the Unicode set) removed; the empty text when they are not UTF-8.
std::string trimToolOutput(std::string_view bytes);

// The whole text as strtod reads it in the POSIX locale, with nothing left over.
// Text that is empty or starts with white space does not parse.
std::optional<double> parseWholeNumber(std::string_view text);

// The shortest decimal text that reads back as the same number; an integral
// value carries one decimal place (2 as "2.0").
std::string formatFloat(double value);

}  // namespace velmoryn
