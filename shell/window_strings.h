// String-table identifiers of the window's own messages.
#pragma once

#include <cstdint>

#include <QString>

namespace lumicarve {

struct DeviceEntry;
struct Message;

inline constexpr uint32_t IDS_DISKS_DENIED = 61280;  // "%d": the number of disks
inline constexpr uint32_t IDS_DISK_DENIED = 61281;
inline constexpr uint32_t IDS_NO_DEVICE = 61282;
inline constexpr uint32_t IDS_CANNOT_OPEN_IMAGE = 61283;
// "%s" in these is the device path.
inline constexpr uint32_t IDS_ACCESS_SERVICE_MISSING = 61284;
inline constexpr uint32_t IDS_ACCESS_REFUSED = 61285;
inline constexpr uint32_t IDS_ACCESS_FAILED = 61286;
inline constexpr uint32_t IDS_ACCESS_NO_PROMPT = 61289;
// Without the access service: "%d" the number of disks, and the one-disk form.
inline constexpr uint32_t IDS_DISKS_DENIED_NO_SERVICE = 61287;
inline constexpr uint32_t IDS_DISK_DENIED_NO_SERVICE = 61288;

// The string-table text of `id`, through the translator.
QString Text(uint32_t id);

// A size as FormatSize writes it, with the default locale's decimal point
// and the byte count's word in the user's language: "1.5 GB", "1,5 GB".
QString SizeText(uint64_t bytes);
// An engine message in the user's language, its arguments filled in.
QString MessageText(const Message& message);

// The device list's line for `entry`, its capacity as SizeText writes it.
QString DeviceLabelText(const DeviceEntry& entry);

// A percentage with one decimal in the default locale: "12.5 %", "12,5 %".
QString PercentText(double percent);

}  // namespace lumicarve
