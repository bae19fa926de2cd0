#pragma once

// [any thread] Looks the zone's current bias up (Wine takes a lock for it).
void refreshLocalTimeOffset() noexcept;
// [any thread, realtime] The system's UTC time plus the cached bias; only a
// line written before the first refresh looks the bias up.
TimeOfDay localTimeOfDay() noexcept;
