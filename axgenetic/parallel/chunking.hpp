// How the evaluators cut a batch into chunks.
#pragma once

#include <algorithm>
#include <cstddef>

namespace ax::parallel_detail {

// Guided chunks: each takes the remaining count divided by twice the workers (at least
// 1), so chunks are large while much is left and shrink to single individuals at the end,
// where an uneven last chunk would leave workers idle. A fixed size (above 0) overrides.
inline std::size_t ChunkLength(std::size_t Remaining, std::size_t Workers, int FixedSize) {
    if (FixedSize > 0) return static_cast<std::size_t>(FixedSize);
    return std::max<std::size_t>(1, Remaining / (2 * Workers));
}

} // namespace ax::parallel_detail
