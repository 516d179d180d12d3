// upgrade_bench --units: many paced units upgraded at once from one firmware set, one unitflash-cli each.
#pragma once

#include <string>
#include <vector>

struct UnitsBenchRequest {
    std::vector<int> counts;  // how many units at once, one round each; a lone unit is always measured first
    std::string kind = "ne";
    int model = 7355;
    bool keep = false;  // keep the scratch folder (it is kept anyway after a failure)
};

// Runs the rounds and prints one table row each. True when every
// unitflash-cli ended with 0 and every unit's flash holds its converted tables.
bool benchManyUnits(const UnitsBenchRequest& request);
