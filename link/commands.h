// The instrument's command set: one framed request and a fixed-length reply per operation.
#pragma once

#include <cstdint>

namespace Device {

// Fields of the last measurement frame.
struct FrameVariables {
    std::uint8_t DeviceStatus = 0; // bit 7: frame valid; bit 0: auto-ranging on
    std::uint8_t DeviceMode = 0;
    std::uint8_t DeviceRange = 0; // 0 ("10 MOm") to 7 ("1 Om")
    std::int32_t BiasMillivolts = 0;
    std::int32_t FrequencyHz = 0;
};
extern FrameVariables FrameState;

inline std::uint8_t &DeviceStatus = FrameState.DeviceStatus;
inline std::uint8_t &DeviceMode = FrameState.DeviceMode;
inline std::uint8_t &DeviceRange = FrameState.DeviceRange;
inline std::int32_t &BiasMillivolts = FrameState.BiasMillivolts;
inline std::int32_t &FrequencyHz = FrameState.FrequencyHz;

namespace Command {
constexpr std::uint8_t Identity = 0x40;
constexpr std::uint8_t Frequency = 0x43;
constexpr std::uint8_t InternalBias = 0x24;
constexpr std::uint8_t ExternalBias = 0x23;
constexpr std::uint8_t BiasVoltage = 0x46;
constexpr std::uint8_t AutoRange = 0x41;
constexpr std::uint8_t Range = 0x42;
constexpr std::uint8_t Level = 0x44;
constexpr std::uint8_t NormalSpeed = 0x22;
constexpr std::uint8_t FastSpeed = 0x21;
constexpr std::uint8_t CurrentMode = 0x45;
constexpr std::uint8_t Measure = 0x48;
constexpr std::uint8_t Init = 71;
// The front-panel keys: the keypad's three right-hand columns top to bottom, then F1 to F4.
constexpr std::uint8_t KeyLcr = 5;
constexpr std::uint8_t KeyAuto = 6;
constexpr std::uint8_t KeyLeft = 7;
constexpr std::uint8_t KeyComp = 8;
constexpr std::uint8_t KeyMode = 9;
constexpr std::uint8_t KeyUp = 10;
constexpr std::uint8_t KeyMenu = 11;
constexpr std::uint8_t KeyDown = 12;
constexpr std::uint8_t KeyCircuit = 13;
constexpr std::uint8_t KeyDigit = 14;
constexpr std::uint8_t KeyRight = 15;
constexpr std::uint8_t KeyEnter = 16;
constexpr std::uint8_t KeyF1 = 17;
constexpr std::uint8_t KeyF2 = 18;
constexpr std::uint8_t KeyF3 = 19;
constexpr std::uint8_t KeyF4 = 20;
} // namespace Command

constexpr std::uint32_t IdentityReplyLength = 7;
constexpr std::uint32_t AckLength = 2;
constexpr std::uint32_t MeasurementReplyLength = 20;

// text: at least 5 characters; receives the identifier (empty on failure).
bool QueryIdentity(char *text);
std::uint32_t SetFrequency(std::int32_t hz);
std::uint32_t SelectBiasSource(bool external);
std::uint32_t SetBiasVoltage(std::int32_t mv);
void ToggleAutoRange();
std::uint32_t SetRange(int index);
std::uint32_t SetLevel(std::int32_t mv);
std::uint32_t SelectSpeed(bool normal);
void SelectCurrentMode();
std::uint32_t SendKeyCode(std::uint8_t code);

} // namespace Device
