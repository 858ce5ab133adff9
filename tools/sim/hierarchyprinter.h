#pragma once

#include <QString>

struct SimElement;

// The runner's two forms of an element tree: the compact text of
// "hierarchy --compact" (one element per line: type, then id=, text=, bounds
// and flags each after two spaces) and the XML page source it saves next to
// a failed step's screenshot. Stateless.
namespace HierarchyPrinter {

// Indentation is irregular in the runner's output: the levels do not all
// add the same number of spaces. Equal depths always get equal indentation.
QString compact(const SimElement &root);
int indentForDepth(int depth);

QString xml(const SimElement &root);

} // namespace HierarchyPrinter
