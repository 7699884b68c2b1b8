#pragma once
#include <map>
#include <string>
#include <vector>

namespace testing_support
{

// Runs a program to completion with the given standard input and extra
// environment, capturing its output. For tests of the command-line tools.
struct ProcessResult
{
    int exitCode = -1; // -1 when it did not exit normally
    std::string out;
    std::string err;
};

class ProcessRunner
{
public:
    static ProcessResult Run(const std::vector<std::string>& argv, const std::string& input,
                             const std::map<std::string, std::string>& environment = {});
};

} // namespace testing_support
