#pragma once

// Table texts are Windows-1251 bytes, stored without translation. The windows
// and the tools show them as Unicode; these convert between the two.

#include <string>
#include <string_view>

namespace orx {

std::string cp1251ToUtf8(std::string_view cp1251);
// Characters that Windows-1251 cannot hold become '?'.
std::string utf8ToCp1251(std::string_view utf8);

} // namespace orx
