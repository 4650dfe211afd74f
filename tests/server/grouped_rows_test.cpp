// The rows of the operator's list by table: random listings, removals and
// roster changes checked against counting the rows one group at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "server/grouped_rows.h"

namespace {

struct Group {
    int rows = 0;
};

}  // namespace

TEST(GroupedRows, AgreesWithAWalkOverTheGroupsOnRandomChanges)
{
    std::mt19937 random(28);
    std::vector<Group> storage(300);
    TGroupedRows<Group> rows;
    std::vector<Group*> listed;  // in the list's order
    std::size_t made = 0;
    for (int step = 0; step < 3000; ++step) {
        const unsigned what = random() % 10;
        if ((what == 0 || listed.empty()) && made < storage.size()) {
            Group& group = storage[made++];
            group.rows = static_cast<int>(random() % 3);
            rows.Add(group, group.rows);
            listed.push_back(&group);
        } else if (what == 1 && !listed.empty()) {
            // A table goes once it is empty, as the server removes them.
            const auto it = listed.begin() + static_cast<long>(random() % listed.size());
            rows.Change(**it, -(*it)->rows);
            (*it)->rows = 0;
            rows.Remove(**it);
            listed.erase(it);
        } else if (!listed.empty()) {
            Group& group = *listed[random() % listed.size()];
            const int delta = group.rows > 0 && random() % 2 ? -1 : 1;
            group.rows += delta;
            rows.Change(group, delta);
        }
        int first = 0;
        for (Group* group : listed) {
            ASSERT_EQ(rows.FirstRow(*group), first);
            for (int i = 0; i < group->rows; ++i)
                ASSERT_EQ(rows.At(first + i), std::make_pair(group, i));
            first += group->rows;
        }
        ASSERT_EQ(rows.At(first).first, nullptr);
        ASSERT_EQ(rows.At(-1).first, nullptr);
    }
}
