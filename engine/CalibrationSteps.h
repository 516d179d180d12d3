// The steps that carry a unit's calibration and custom cable database across
// a table-layout change, and the downgrade that puts a backup image back.
#pragma once

#include <string>

struct UpgradeSession;

// The calibration region of a model and unit kind.
struct CalibrationRegion {
    const char* command;    // the transfer command that downloads it
    const char* file;       // the file it is received into
    long size;              // its length in bytes
    const char* start;      // its start and end address for the header tool
    const char* end;
    bool pauseAfterCommand; // 500 ms between command and receive
};
CalibrationRegion calibrationRegion(int model, int unitKind);
// The size of Lcnv's output "output2.bin", which PUTCAL uploads: the
// velmora tables behind their load header.
long velmoraLoadImageSize();
// The calibration-clearing image uploaded after the converted tables.
const char* clearingImageName(int model, int unitKind);
// The backup image of a serial number, and the second image of a Display
// Handset's downgrade.
std::string backupImageName(const std::string& serial);
std::string secondImageName(const std::string& serial);

// "GETCAL": downloads the calibration region, up to three attempts. 1 when a
// file of exactly the region's size arrived; 0 after three failures or when
// asked to stop.
int getCalibration(UpgradeSession& session);
// True when the region file on disk has the region's size (a download of
// an earlier run that can be converted again).
bool calibrationRegionOnDisk(UpgradeSession& session);
// "CONVERTCAL": removes the converter outputs of earlier runs, then runs
// Kcnv (below model 7410), Lcnv, and the header tool's backup image of the
// region, each of which must end with status 1 and leave its output at its
// size. False (failure recorded) otherwise, or when asked to stop. A unit
// without a serial number gets a backup name of its own ("NOSERIAL-n.bin").
bool convertCalibration(UpgradeSession& session);
// "PUTCAL": uploads "output2.bin" and then the calibration-clearing image,
// each in up to three attempts. 1 when both were taken; 0 (failure
// recorded) otherwise, or when asked to stop.
int putCalibration(UpgradeSession& session);
// The downgrade phase: the backup image and, for a Display Handset, the
// second image, each in up to three attempts. 1 when both were taken; 0
// when an image is missing (nothing is sent then), when one was not taken,
// or when asked to stop.
int restoreBackup(UpgradeSession& session);
// True when every image a downgrade of this unit needs is present (never
// for a unit without a serial number).
bool downgradeImagesPresent(UpgradeSession& session);
// Carries a Display Handset's custom cable database to its new address:
// download (up to three attempts, whole or not at all), the header tool,
// upload (up to three attempts). False (failure recorded) when a step did
// not succeed, or when asked to stop.
bool saveCustomCables(UpgradeSession& session);
