#pragma once

#include "report/summary_sheet.h"

class MainWindow;

// What the window and the loop state hold right now, as the summary sheet prints it.
SummarySheetData gatherSummarySheetData(const MainWindow &window);
