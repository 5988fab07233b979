#pragma once

#include <string>
#include <vector>

// The numbered run a file starts: for ".../Trip-003.avi" the existing files
// Trip-003.avi, Trip-004.avi, … up to the first missing number (each name
// also tried as "Trip#-NNN.avi"). Files of 4,000 bytes or less count as
// missing. A name that is not numbered gives just itself (when usable).
std::vector<std::string> NumberedRunFrom(const std::string& path);
