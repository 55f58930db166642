#include "project/Shuffle.h"

#include <algorithm>

namespace lv {

std::vector<std::pair<int, int>> ShuffleMoves(int count,
                                              const std::function<int(int)>& randomBelow) {
    std::vector<std::pair<int, int>> moves;
    for (int i = 0; i < count; ++i) {
        const int r = count > 1 ? randomBelow(count - 1) : 0;
        moves.emplace_back(i, std::max(r, 1) - 1);
    }
    return moves;
}

} // namespace lv
