#pragma once

namespace lianshuo {

/// The icon of a results row.
enum class ResultRowState : int { Done = 0, Error = 1, Waiting = 2, Converting = 3 };

}  // namespace lianshuo
