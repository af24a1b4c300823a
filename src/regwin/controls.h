#pragma once

#include <array>
#include <string>
#include <vector>

namespace kalibrix {

// Check box values as the window holds them: only kTicked counts as ticked.
inline constexpr int kUnticked = 0;
inline constexpr int kTicked = 1;
inline constexpr int kGrey = 2;

inline constexpr int kPolySlots = 5;  // chkPoly(1..5); slot 1 takes its degree from ComboBox1
inline constexpr int kExportMethods = 8;

// Export methods by chkEX index; the index also orders the column groups.
enum ExportMethod {
    kExportLinear = 0,
    kExportLog = 1,
    kExportPoly2 = 2,
    kExportPoly3 = 3,
    kExportPoly4 = 4,
    kExportPoly5 = 5,
    kExportPolyChosen = 6,
    kExportZigzag = 7,
};

// The two combo box lists and their preselected positions.
const std::vector<std::string>& comboBox1Items();  // "2" .. "25"
const std::vector<std::string>& comboProbItems();  // "0.1    80%" .. "0.001  99.8"
inline constexpr int kComboBox1Default = 4;        // "6"
inline constexpr int kComboProbDefault = 2;        // "0.025  95%"

// Captions of the statistics labels, written by the plot-and-calculate run.
struct StatLabels {
    std::string lblNData, lblnDataOK, lblRej;  // "Maximum:", "Number of data:", "Rejected:"
    std::string lbl_LRa, lbl_LRb, lbl_LRr, lblDiff, lblDiffProc;
    std::string lbl_LoRa, lbl_LoRb, lbl_LoRr, lblDiffLog, lblDiffProcLog;
    std::array<std::string, kPolySlots + 1> lblDiffPoly;      // index 1..5
    std::array<std::string, kPolySlots + 1> lblDiffProcPoly;  // index 1..5
    std::string Label2;  // parameter listing of the slot-1 polynomial

    bool operator==(const StatLabels&) const = default;
};

// The regression window's controls as plain data: the window copies its widgets into this
// before a run and the captions back out after it; the batch front end fills it from its
// options. Defaults are the window's start-up state.
struct RegControls {
    int chkConf = kTicked;
    int chkLog = kTicked;
    int chkZigZag = kTicked;
    std::array<int, kPolySlots + 1> chkPoly{kUnticked, kUnticked, kTicked, kUnticked, kUnticked,
                                            kUnticked};  // index 1..5
    std::array<int, kExportMethods> chkEX{kTicked,   kTicked,   kTicked,   kUnticked,
                                          kUnticked, kUnticked, kUnticked, kUnticked};
    bool optScaleFull = true;   // Y scale: true = "Full", false = "Zoom"
    bool optScaleXFull = true;  // X scale: true = "Full", false = "Zoom"
    std::string comboBox1Text = "6";  // degree of the slot-1 polynomial, as typed or chosen
    int comboBox1Index = kComboBox1Default;
    int comboProbIndex = kComboProbDefault;

    StatLabels labels;

    static bool ticked(int value) { return value == kTicked; }
};

}  // namespace kalibrix
