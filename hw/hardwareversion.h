#pragma once

// The board's hardware version, 0..7, from the three strap lines 162 (bit 0), 163 and 164
// (bit 2). Version 0 boards have no drawer current sensing.
int readHardwareVersion();
