#pragma once

#include <string>
#include <vector>

namespace lvtest {

struct ProcessResult {
    int exitCode = -1;
    std::string out; // standard output
    std::string err; // standard error
};

// Runs a program (searched on PATH) with arguments, no shell, optional standard input.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = {});

// True when the program can be found on PATH (ffprobe, lame...).
bool haveProgram(const std::string& program);

// This process's resident memory now (VmRSS), in KB; 0 when unknown.
long residentKb();

} // namespace lvtest
