#include "catalogue/catalogue.h"

#include <algorithm>

Catalogue catalogue;

int validPanelCount(const Catalogue &c) { return std::clamp(c.panelCount, 0, kPanelCapacity); }
int validCableCount(const Catalogue &c) { return std::clamp(c.cableCount, 0, kCableCapacity); }
int validDeviceCount(const Catalogue &c) { return std::clamp(c.deviceCount, 0, kDeviceCapacity); }
