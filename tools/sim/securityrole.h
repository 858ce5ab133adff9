#pragma once

#include <QStringList>

// kestrune-sim called as `security`: answers `find-identity -v -p
// codesigning` with the lab's signing identities. KESTRUNE_SIM_SIGNING picks
// the keychain: unset or "team" holds one Apple Development identity of the
// demo team (K7QX2M9R4T), "none" holds no identity at all.
namespace SecurityRole {

bool handles(const QStringList &args);
int run(const QStringList &args);

} // namespace SecurityRole
