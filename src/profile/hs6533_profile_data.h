// The headset's profile: the base sections plus its audio values and equaliser curves.
#pragma once

#include <string>
#include <vector>

#include "profile/basic_profile_data.h"

namespace qm {

class CHs6533Profiledata : public CBasicProfiledata {
public:
    // "SystemSetStages" in SystemSetIndex order; all zero when the section is missing.
    SystemSetStages ReadSystemSetStages();
    // Sets each key; other keys of the section stay.
    void WriteSystemSetStages(const SystemSetStages& values);

    // The preset curve of EqType e from "EQHzValueInfo": element e for 1-12, element 1 for 0 and
    // anything above 13 (or below 0); e = 13 is the own curve and gives an empty list. Always
    // ten values otherwise; a missing curve reads as zeros and is created with zeros in the held
    // entry.
    std::vector<int> ReadPresetEq(int eqType);
    // Writes up to ten values at the same element; false (nothing written) for e = 13.
    bool WritePresetEq(int eqType, const std::vector<int>& values);
    // Own curve n (0-19) from "CustomEQHzValueInfo", as ReadPresetEq; ten zeros for any other n.
    std::vector<int> ReadCustomEq(int n);
    // False (nothing written) for n outside 0-19.
    bool WriteCustomEq(int n, const std::vector<int>& values);
    // Removes own curve n and its name; the curves after it move down by one.
    bool RemoveCustomEq(int n);

    // The names of the own curves, in curve order (UTF-8; at most 20).
    std::vector<std::string> ReadCustomEqNames();
    // Replaces "CustomEQNameInfo" with one {"Name": text} per name (at most 20).
    void WriteCustomEqNames(const std::vector<std::string>& names);

private:
    SystemSetStages m_SystemSetStages{};
};

}  // namespace qm
