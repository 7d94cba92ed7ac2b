// nuvget's progress figure.
#pragma once

#include <cstdint>
#include <string>

// "NN.N%", cut (never rounded) to one decimal, so 100.0% appears only when no byte is missing.
std::string ProgressPercent(int64_t downloaded, int64_t total);
