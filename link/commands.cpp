// Request building for every setting command; replies to settings are read and not examined.
#include "link/commands.h"

#include "link/models.h"
#include "link/serial_link.h"

#include <QtEndian>

#include <cstring>

namespace Device {

namespace {

std::uint32_t Exchange(std::uint8_t command, int requestLength, std::uint32_t replyLength) {
    RequestBuffer[1] = command;
    SendRequest(requestLength);
    return ReceiveReply(replyLength);
}

// Big-endian payload, most significant byte first, starting at byte 2 of the request.
void PutPayload(std::uint32_t word, int bytes) {
    switch (bytes) {
    case 1:
        RequestBuffer[2] = static_cast<std::uint8_t>(word);
        break;
    case 2:
        qToBigEndian(static_cast<std::uint16_t>(word), RequestBuffer + 2);
        break;
    default:
        qToBigEndian(word, RequestBuffer + 2);
        break;
    }
}

} // namespace

bool QueryIdentity(char *text) {
    if (Exchange(Command::Identity, 2, IdentityReplyLength) != IdentityReplyLength) {
        text[0] = '\0';
        return false;
    }
    ReplyBuffer[6] = 0;
    std::memcpy(text, ReplyBuffer + 2, 5);
    return true;
}

std::uint32_t SetFrequency(std::int32_t hz) {
    PutPayload(static_cast<std::uint32_t>(hz), 4);
    return Exchange(Command::Frequency, 6, AckLength);
}

std::uint32_t SelectBiasSource(bool external) {
    return Exchange(external ? Command::ExternalBias : Command::InternalBias, 2, AckLength);
}

std::uint32_t SetBiasVoltage(std::int32_t mv) {
    PutPayload(static_cast<std::uint32_t>(mv / BiasScale(ModelIndex)), 2);
    return Exchange(Command::BiasVoltage, 4, AckLength);
}

void ToggleAutoRange() {
    Exchange(Command::AutoRange, 2, AckLength);
}

std::uint32_t SetRange(int index) {
    PutPayload(static_cast<std::uint32_t>(index), 1);
    return Exchange(Command::Range, 3, AckLength);
}

std::uint32_t SetLevel(std::int32_t mv) {
    PutPayload(static_cast<std::uint32_t>(mv), 2);
    return Exchange(Command::Level, 4, AckLength);
}

std::uint32_t SelectSpeed(bool normal) {
    return Exchange(normal ? Command::NormalSpeed : Command::FastSpeed, 2, AckLength);
}

void SelectCurrentMode() {
    // Only the first model knows this command.
    if (ModelIndex == 0) Exchange(Command::CurrentMode, 2, AckLength);
}

std::uint32_t SendKeyCode(std::uint8_t code) {
    return Exchange(code, 2, AckLength);
}

} // namespace Device
