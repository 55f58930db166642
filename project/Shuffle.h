#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace lv {

// The organise dialog's "Shuffle": for each position i in turn, the picture standing there
// now moves to index max(r, 1) - 1, r drawn from 0 .. n - 2 (0 for a single picture).
// Returns the moves (from, to) in order; a move with from == to changes nothing.
// `randomBelow(m)` returns a uniform integer in 0 .. m - 1 (called with m >= 1).
std::vector<std::pair<int, int>> ShuffleMoves(int count,
                                              const std::function<int(int)>& randomBelow);

} // namespace lv
