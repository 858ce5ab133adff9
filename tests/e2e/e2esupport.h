#pragma once

#include <QString>

// The simulated lab's phone and app, for the suites that drive flows on it.
namespace E2e {

inline const QString kDevice = QStringLiteral("00008130-001E39811A12001C");
inline const QString kApp = QStringLiteral("com.lumenfold.pasar");

} // namespace E2e
