#pragma once

#include <QString>

// Unbuffered UTF-8 writes to standard output and standard error, so that a
// reader sees each line as soon as the simulated tool "prints" it.
namespace SimOutput {

void out(const QString &text);
void err(const QString &text);

// The line every role prints first (to stderr for the tools whose standard
// output is parsed) so that the lab is never mistaken for the real tools.
QString headerLine();

} // namespace SimOutput
