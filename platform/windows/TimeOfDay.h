#pragma once

// [any thread, realtime] The system keeps the local time itself: no lock on our side.
TimeOfDay localTimeOfDay() noexcept;
