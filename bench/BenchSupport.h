#pragma once

#include <string>

namespace orx::bench {

// A folder for generated files, removed at exit.
const std::string& benchDir();

// A table of `rows` rows spread evenly over the 21 blocks, written block by
// block as a download leaves it. Generated once per path.
std::string generatedTable(int rows);

} // namespace orx::bench
