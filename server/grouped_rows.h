#pragma once

#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

// Where each group's rows stand in one list made of consecutive groups (the
// operator's list: each table's roster entries, the tables in the order they
// were listed). The counts sit in a Fenwick tree, so that finding a group's
// first row, the group of a row, and a change of one group's count each cost
// O(log groups) instead of a walk over every group. A removed group leaves a
// slot with no rows until the slots are compacted, which happens once more
// than half of them are such.
template <class Group>
class TGroupedRows {
public:
    // Lists group after the others, with rows rows.
    void Add(Group& group, int rows)
    {
        const std::size_t slot = groups_.size();
        groups_.push_back(&group);
        counts_.push_back(rows);
        slotOf_[&group] = slot;
        // Node slot+1 covers the slots (slot+1 - lowest bit, slot]: its sum
        // is the new count and the counts before it that it covers.
        const std::size_t node = slot + 1;
        tree_.push_back(rows + RowsBefore(slot) - RowsBefore(node - LowestBit(node)));
    }

    void Remove(const Group& group)
    {
        const auto found = slotOf_.find(&group);
        if (found == slotOf_.end())
            return;
        const std::size_t slot = found->second;
        AddToTree(slot, -counts_[slot]);
        counts_[slot] = 0;
        groups_[slot] = nullptr;
        slotOf_.erase(found);
        if (slotOf_.size() * 2 < groups_.size())
            Compact();
    }

    // The group's rows grew (delta > 0) or shrank.
    void Change(const Group& group, int delta)
    {
        const auto found = slotOf_.find(&group);
        if (found == slotOf_.end())
            return;
        counts_[found->second] += delta;
        AddToTree(found->second, delta);
    }

    // The row of the group's first row; for a group not listed, the number of rows.
    int FirstRow(const Group& group) const
    {
        const auto found = slotOf_.find(&group);
        return RowsBefore(found == slotOf_.end() ? groups_.size() : found->second);
    }

    // The group holding row and the row's place in that group; a null group
    // when no group holds it.
    std::pair<Group*, int> At(int row) const
    {
        if (row < 0)
            return {nullptr, -1};
        // Descends the tree to the most slots holding no more than row rows
        // together; the slot after them holds the row, if any does.
        std::size_t covered = 0;
        int before = 0;
        std::size_t step = 1;
        while (step * 2 < tree_.size())
            step *= 2;
        for (; step > 0; step /= 2)
            if (covered + step < tree_.size() && before + tree_[covered + step] <= row) {
                covered += step;
                before += tree_[covered];
            }
        if (covered >= groups_.size())
            return {nullptr, -1};
        return {groups_[covered], row - before};
    }

private:
    static std::size_t LowestBit(std::size_t i) { return i & (~i + 1); }

    void AddToTree(std::size_t slot, int delta)
    {
        for (std::size_t i = slot + 1; i < tree_.size(); i += LowestBit(i))
            tree_[i] += delta;
    }

    // The rows of the slots before slot.
    int RowsBefore(std::size_t slot) const
    {
        int sum = 0;
        for (std::size_t i = slot; i > 0; i -= LowestBit(i))
            sum += tree_[i];
        return sum;
    }

    void Compact()
    {
        std::vector<Group*> groups;
        std::vector<int> counts;
        for (std::size_t slot = 0; slot < groups_.size(); ++slot)
            if (groups_[slot]) {
                groups.push_back(groups_[slot]);
                counts.push_back(counts_[slot]);
            }
        groups_.clear();
        counts_.clear();
        tree_.assign(1, 0);
        slotOf_.clear();
        for (std::size_t i = 0; i < groups.size(); ++i)
            Add(*groups[i], counts[i]);
    }

    // One-based Fenwick tree over the slots' counts.
    std::vector<int> tree_{0};
    std::vector<int> counts_;
    std::vector<Group*> groups_;
    std::unordered_map<const Group*, std::size_t> slotOf_;
};
