// The keyboard's profile: the base sections plus its system settings and custom key colours.
#pragma once

#include <vector>

#include "profile/basic_profile_data.h"

namespace qm {

class CKeyboardProfiledata : public CBasicProfiledata {
public:
    // "SystemStages" as (Repeat, RepeatDelay), (Key6Flag, PollingRate), (WFlag, WinFlag); all
    // zero when the section is missing.
    SystemStageWords ReadKeyboardSystemStages();
    // Sets each key; other keys of the section stay.
    void WriteKeyboardSystemStages(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2);

    // The first count colours of custom colour group (count is capped at the 170 layout
    // positions). A missing group or colour reads as zero and is created with zeros in the held
    // entry. A group outside 0-255 or a negative count gives an empty list and changes nothing.
    std::vector<RgbaColor> ReadCustomLightColors(int group, int count);
    // False (nothing written) for a group outside 0-255.
    bool WriteCustomLightColors(const std::vector<RgbaColor>& colours, int group);
    // The selected colour group; 0 when missing or outside 0-255.
    int ReadCustomLightGroup();
    // False (nothing written) for a group outside 0-255.
    bool WriteCustomLightGroup(int n);

private:
    SystemStageWords m_SystemStages{};
    std::vector<RgbaColor> m_CustomColors;
    std::int32_t m_CustomGroup = 0;
};

}  // namespace qm
