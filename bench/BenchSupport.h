#pragma once

#include <string>

namespace orx::bench {

// A folder for generated files, removed at exit.
const std::string& benchDir();

// A table of `rows` rows spread evenly over the 21 blocks, written block by
// block as a download leaves it. Generated once per path.
std::string generatedTable(int rows);

// A table of `rows` operational readings only, one every 37 seconds from
// 01.03.2024 on, as the decoder writes them. Generated once per path.
std::string operationalTable(int rows);

} // namespace orx::bench
