// A rectangular table addressed by (column, line), with bounds that are
// chosen by the caller (columns and lines may include margins).
#pragma once

#include <cassert>
#include <cstddef>
#include <vector>

namespace brenvik {

template <typename T>
class Grid {
  public:
    Grid() = default;
    Grid(int columns, int lines, const T& fill = T{}) { reset(columns, lines, fill); }

    void reset(int columns, int lines, const T& fill = T{}) {
        columns_ = columns;
        lines_ = lines;
        cells_.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(lines), fill);
    }

    T& at(int column, int line) {
        assert(column >= 0 && column < columns_ && line >= 0 && line < lines_);
        return cells_[static_cast<std::size_t>(line) * columns_ + column];
    }
    const T& at(int column, int line) const {
        assert(column >= 0 && column < columns_ && line >= 0 && line < lines_);
        return cells_[static_cast<std::size_t>(line) * columns_ + column];
    }

    int columns() const { return columns_; }
    int lines() const { return lines_; }

  private:
    int columns_ = 0;
    int lines_ = 0;
    std::vector<T> cells_;
};

}  // namespace brenvik
