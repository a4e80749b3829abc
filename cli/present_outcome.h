// Writing a command's outcome: lines for a person (results on standard
// output, failures on standard error), or one JSON document on standard
// output.
#pragma once

#include <cstdint>

#include "outcome.h"

enum class OutputFormat : std::uint8_t { Lines, Json };

// The exit code of the outcome, or Failure when it could not be written.
ExitCode Present(const Outcome& outcome, OutputFormat format);
