#pragma once

// The duty of a channel driven fully and of one released.
constexpr unsigned kPwmFullDuty = 255;
constexpr unsigned kPwmNoDuty = 0;

// Sets a PWM duty (0..255) through the brightness attribute of an LED-class device.
// Returns 0 when the duty was written; 1 when it was not (duty above 255, file not opened):
// callers treat any non-zero result as an output that was not driven.
int writePwm(unsigned value, const char *path);
