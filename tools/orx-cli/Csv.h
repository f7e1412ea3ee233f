#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace orx::cli {

// One CSV line (RFC 4180): fields separated by commas, a field quoted when it
// holds a comma, a quote or a line break, the line ended by CR LF.
void writeCsvLine(std::ostream& out, const std::vector<std::string>& fields);

} // namespace orx::cli
