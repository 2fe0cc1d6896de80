#include "emulator/receiver.h"

#include "emulator/answer.h"

namespace qm::emu {

std::optional<report::Report> receiverAnswer(const report::Report& request, bool peripheralOn) {
    if (request[report::kCommand] == report::kIsPeripheralOnline) {
        report::Report answer = answerFor(request, kStatusOk);
        answer[report::kData] = peripheralOn ? 0xFF : 0x00;
        seal(answer);
        return answer;
    }
    if (peripheralOn)
        return std::nullopt;
    report::Report answer = answerFor(request, kStatusOk);
    answer[report::kCommand] = report::kIsPeripheralOnline;
    seal(answer);
    return answer;
}

}  // namespace qm::emu
