#pragma once

#include <ostream>
#include <string>

// For tables of test cases whose rows carry a `name`. Bring both into the test's namespace with
// `using namedcases::operator<<; using namedcases::caseName;`: gtest then shows a row by its
// name instead of dumping its bytes, and caseName, given to INSTANTIATE_TEST_SUITE_P, makes
// the row's name the test's name.
namespace namedcases {

template <typename Case>
auto operator<<(std::ostream& out, const Case& row) -> decltype(out << row.name)
{
    return out << row.name;
}

inline constexpr auto caseName = [](const auto& testInfo) {
    return std::string(testInfo.param.name);
};

} // namespace namedcases
