#include "emulator/receiver.h"

#include "emulator/answer.h"

namespace qm::emu {

std::optional<report::Report> receiverAnswer(const report::Report& request, bool peripheralOn) {
    // A request the receiver cannot trust is refused like any other with a bad checksum.
    if (!report::checksumValid(request)) {
        report::Report answer = answerFor(request, report::kStatusError);
        seal(answer);
        return answer;
    }
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
