#pragma once

// Shown in the status bar and written into every error record.
inline constexpr const char kSoftwareVersion[] = "1.3.0";
