#pragma once

#include <QString>

// The runner's cache of WebDriverAgent builds: the entries of its folder
// whose names start with "device-ios" (other entries are left alone).
// Plain functions on the folder given; counting may run on any thread.
namespace WdaCache {

// "~/.maestro-runner/cache/wda-builds" with "~" expanded.
QString defaultFolder();

// The number of cached builds; 0 when the folder is missing or unreadable.
int count(const QString &folder);

// Removes every cached build. A failure stops at that entry (those removed
// before it stay removed), is written to standard output as "Failed to
// clear WDA cache: ..." and answers false. A missing folder is cleared.
bool clear(const QString &folder);

} // namespace WdaCache
