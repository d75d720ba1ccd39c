// Runs the real fuzzylite program (GLEAN_FUZZYLITE, Debian package fuzzylite) on an engine file.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace glean::test {

// fuzzylite's outputs for every line of the input file (values separated by blanks), one row
// per line, read by the importer `format` ("fll", "fis", "fcl").
inline std::vector<std::vector<double>> RunFuzzylite(const std::filesystem::path& engine,
                                                     const char* format,
                                                     const std::filesystem::path& inputs) {
    const std::string command = std::string(GLEAN_FUZZYLITE) + " -i " + engine.string() + " -if " +
                                format + " -of fld -d " + inputs.string() +
                                " -decimals 12 -dheader false -dinputs false 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command << "\n" << text;
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream values(line);
        std::vector<double> row;
        for (std::string value; values >> value;)
            row.push_back(std::strtod(value.c_str(), nullptr));
        rows.push_back(row);
    }
    return rows;
}

}  // namespace glean::test
