#pragma once

#include <string_view>
#include <vector>

namespace vexana::store {

// A compiled name format: field ids as themselves (>= 0), literal characters as their
// negated code points (a line feed is -10).
using CompiledFormat = std::vector<int>;

// Tokens are separated by ";"; "$N" names field N, anything else is literal text in which
// "&" stands for a line feed. A "$" without digits is taken literally.
CompiledFormat compileNameFormat(std::string_view format);

} // namespace vexana::store
