// Checks that a DAT holds only the lines the writer can produce.
#pragma once

#include <cstddef>
#include <string>

// Empty when every line of `dat` has a known shape; otherwise says which
// line breaks the rule and how.
std::string datShapeProblem(const std::string& dat);
