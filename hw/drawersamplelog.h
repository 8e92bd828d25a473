#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The motor current of the drawer's moves, sample by sample, for the service menu's drawer logs
// and for the calibration opening whose current profile gives the safety threshold. A move's
// samples go to a file of their own under the logs folder when the move ends.
class DrawerSampleLog
{
public:
    // In the samples where the supervised part of a closing ends: what follows is the
    // unsupervised rest, which compresses the cartridge seal.
    static constexpr int kZoneEndMarker = -1;

    // Logs every move from now on. -1 (logged) when the board cannot sense the current (hardware
    // version 0) or the logs folder is missing or its drawer folder cannot be made.
    int enable(int hwVersion);
    void disable();
    // Records the next move as a calibration profile, logging or not.
    void startCalibration();

    // Keeps a sample of the move under way, while logging or calibrating.
    void record(int sample);
    void markZoneEnd() { record(kZoneEndMarker); }

    // Writes the move's samples (`move` names it: move_out, move_in) and forgets them. After a
    // calibration move: the threshold its profile gives (0 without samples), once.
    std::optional<uint16_t> finishMove(const std::string &move);

private:
    bool recording() const { return enabled || calibration; }
    void writeSamples(const std::string &move) const;

    bool enabled = false;
    bool calibration = false;
    std::vector<int> samples;
};
