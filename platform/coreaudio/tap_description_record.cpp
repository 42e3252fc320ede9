#include "platform/coreaudio/tap_description_record.h"

#include <array>
#include <cstdio>
#include <random>

namespace quorvantel {

std::string randomUUIDString() {
    std::random_device source;
    std::array<unsigned char, 16> bytes{};
    for (auto& byte : bytes) byte = static_cast<unsigned char>(source());
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

TapDescriptionRecord::TapDescriptionRecord(bool exclusive, std::vector<AudioObjectID> processes)
    : exclusive_(exclusive), processes_(std::move(processes)), uuid_(randomUUIDString()) {}

std::unique_ptr<CATapDescription> TapDescriptionRecords::initStereoGlobalTapButExcludeProcesses(
    std::vector<AudioObjectID> processes) const {
    return std::make_unique<TapDescriptionRecord>(true, std::move(processes));
}

std::unique_ptr<CATapDescription> TapDescriptionRecords::initStereoMixdownOfProcesses(
    std::vector<AudioObjectID> processes) const {
    return std::make_unique<TapDescriptionRecord>(false, std::move(processes));
}

}  // namespace quorvantel
