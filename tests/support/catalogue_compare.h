#pragma once

#include "catalogue/catalogue.h"

#include <QStringList>

// Every field in which two catalogues differ, the records up to the larger count of each kind;
// floats compare by their bit images, so NaN payloads and -0 count. Empty when they are equal.
QStringList catalogueDifferences(const Catalogue &expected, const Catalogue &actual);

// The same restricted to what data.dat carries (records without second rows, counts, condition).
QStringList dataDifferences(const Catalogue &expected, const Catalogue &actual);
