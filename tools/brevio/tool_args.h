#pragma once
// Argument parsing shared by the brevio subcommands.
#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace brevio::tool {

// Parses a list of 1-based unit numbers such as "3,5-7" into ascending distinct numbers. Returns
// nothing (and says why in `error`) for an empty list, a zero, a reversed range or junk.
std::optional<std::vector<unsigned>> ParseUnitList(const std::string& text, std::string& error);

// "640x480" -> width and height.
bool ParseSize(const std::string& text, int& width, int& height);

// Whole decimal number in [min, max].
bool ParseInt(const std::string& text, long long min, long long max, long long& value);

// A finite decimal number.
bool ParseNumber(const std::string& text, double& value);

// A CLI11 check that takes a finite decimal number in [min, max] (CLI::Range lets NaN through).
CLI::Validator NumberIn(double min, double max);

}  // namespace brevio::tool
