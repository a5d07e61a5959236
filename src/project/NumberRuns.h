#pragma once
// Ascending numbers (picture or record numbers) as a short list of runs.

#include <QString>
#include <vector>

// "3", "3, 7", "0-4, 9"; empty for no numbers.
QString NumberRuns(const std::vector<int>& ascending);
