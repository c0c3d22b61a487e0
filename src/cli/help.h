// The help text of the command line, line by line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// %s1% is the program's file name; the examples use the first input type
// and the first output extension.
std::vector<std::string> helpLines(std::string_view programName);

}  // namespace qm
