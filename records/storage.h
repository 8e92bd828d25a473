#pragma once

#include <cstdint>
#include <vector>

// The samples of one run in memory, one row per read cycle in arrival order: run time (ms),
// vessel pressure, line 1, 2 and 3 pressures (mbar). Rows are kept as they come; a cycle that
// lacked a value gives a shorter row. Used from the GUI thread only.
class Storage
{
public:
    using Row = std::vector<uint32_t>;

    Storage();
    ~Storage();
    Storage(const Storage &) = delete;
    Storage &operator=(const Storage &) = delete;

    // Appends a copy of *row; a null row is ignored.
    void addRow(const Row *row);
    void clear();
    const std::vector<Row> &rows() const { return storedRows; }

private:
    std::vector<Row> storedRows;
};
