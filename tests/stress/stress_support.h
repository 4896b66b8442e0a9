// Stress tests: what the kill and concurrent-writer tests share: the backend's temporaries, the
// oracle's verdict on a tree after a killed or raced move, the figures, seeded randomness.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/tree_snapshot.h"

namespace tandemere::testing {

// Whether a relative path ('/') is one of the backend's copies under way (a name of the engine's
// temporary pattern) or lies inside one.
bool LiesInTemporary(const std::string& relative);

// The verdict on trees after a move was killed or raced: every content of `before` is still whole
// under a name the user can find (our temporaries do not count), and every leftover of ours is
// recognisable. Empty when both hold; `lost` counts the lost contents.
std::string CheckNothingLost(const std::vector<TreeSnapshot>& before, const std::vector<TreeSnapshot>& after,
                             int& lost);
// Files outside our temporaries whose content existed nowhere in `before`: a torn copy under a
// user's name. Empty when there is none.
std::string FindTornCopies(const std::vector<TreeSnapshot>& before, const std::vector<TreeSnapshot>& after);

// Writes one line to $TANDEMERE_FIGURES_DIR/<file>; nothing when the variable is not set.
void WriteFigure(const std::string& file, const std::string& line);
// A whole number from the environment, or `fallback` when it is not set.
std::uint64_t EnvNumber(const char* name, std::uint64_t fallback);

// `size` bytes from a seeded generator: a content no other file of the test has.
std::string RandomBytes(std::mt19937_64& random, std::size_t size);

}  // namespace tandemere::testing
