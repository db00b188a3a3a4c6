// QCustomPlot for this program, which builds with QT_NO_KEYWORDS (a field of
// the language table is named "slots"): the library's header uses the
// keywords "signals" and "foreach", so they stand for the Q_ macros while it
// is read, and only then.
#pragma once

#define signals Q_SIGNALS
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef signals
#undef foreach
