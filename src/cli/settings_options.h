#pragma once

#include "model/settings.h"

#include <QCommandLineParser>

#include <optional>
#include <string>
#include <vector>

namespace kalibrix::cli {

// The name of --show that ticks "Show confidence band".
inline constexpr const char* kBandName = "band";

// The name of --correct-with that corrects with the method that predicts best.
inline constexpr const char* kBestMethod = "best";

// The settings of the window at start-up at the 95 % level, or `base` (a session's), changed
// by the options; throws UsageError at the first option refused.
Settings settingsFrom(const QCommandLineParser& parser, std::optional<Settings> base = {});

// Ticks the Show box of each method named in `shown` (the always fitted one's stays ticked)
// and the Export box of each named in `exported`, unticking the others; a list not given
// leaves its boxes as they are.
void tickMethods(Settings& settings, const std::optional<std::vector<std::string>>& shown,
                 const std::optional<std::vector<std::string>>& exported);

}  // namespace kalibrix::cli
