#include "tools/orx-cli/Csv.h"

namespace orx::cli {

void writeCsvLine(std::ostream& out, const std::vector<std::string>& fields)
{
    bool firstField = true;
    for (const std::string& f : fields) {
        if (!firstField)
            out << ',';
        firstField = false;
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out << f;
            continue;
        }
        out << '"';
        for (char c : f) {
            if (c == '"')
                out << '"';
            out << c;
        }
        out << '"';
    }
    out << "\r\n";
}

} // namespace orx::cli
