// The mouse's profile: the base sections plus its sensitivity stages, pointer settings and
// pointer correction presets.
#pragma once

#include <vector>

#include "profile/basic_profile_data.h"

namespace qm {

class CMouseProfiledata : public CBasicProfiledata {
public:
    // Merges "DPIStages" into the held stages: stage j of the file replaces held stage j (or is
    // appended); held stages beyond the file's stay. Also takes the active stage (0 when missing
    // or outside 0-4). At most five stages are read. Returns the held stages.
    std::vector<DpiStageRecord> ReadDpiStages();
    // The first five stages replace the held ones and are written.
    void WriteDpiStages(const std::vector<DpiStageRecord>& stages);
    int GetActiveDpiStage() const { return m_ActiveDpiStage; }
    // False (nothing written) for a stage outside 0-4.
    bool SetActiveDpiStage(int n);

    // (DoubleClickTime, MouseSpeed), (PointerPrecision, ScorllPage),
    // (WheelScorlllinse, "ReportStages"."StageActive"); all zero without "SystemStages".
    SystemStageWords ReadMouseSystemStages();
    void WriteMouseSystemStages(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2);

    std::vector<CorrectRecord> ReadCorrectInfo();

private:
    std::vector<DpiStageRecord> m_DpiStages;
    std::int32_t m_ActiveDpiStage = 0;
    SystemStageWords m_SystemStages{};
    std::vector<CorrectRecord> m_Corrections;
};

}  // namespace qm
