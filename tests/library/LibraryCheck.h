#pragma once
// The catalogue's invariants, checked from cursors of the test's own: every group record's
// count equals the number of file records pointing to it and is at least 1, every group id of a
// visible file names an existing record, and a hidden file has all six ids -1.

#include <string>
#include <vector>

class TDatabase;

// One line per broken rule; empty when the library is consistent.
std::vector<std::string> CatalogueProblems(TDatabase& database);
