#pragma once

#include <QDate>

// A date the stored columns keep: valid, with a year of four digits (100 to 9999). Earlier
// years are stored empty by the engine's date text.
inline bool FechaGuardable(const QDate& fecha) { return fecha.isValid() && fecha.year() >= 100 && fecha.year() <= 9999; }
