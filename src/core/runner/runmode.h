#pragma once

#include <QMetaType>

// What the runner is doing for the console: running a flow, or printing the
// UI hierarchy (whose lines the console filters, re-indents and colours).
enum class RunMode {
    Test,
    Hierarchy,
};

Q_DECLARE_METATYPE(RunMode)
