// The window's controls as users know them from the earlier versions: name,
// kind, text, parent and place; and which of them a batch switches off.
#pragma once

#include <QWidget>

namespace vantrel::app::test {

// Compares every control with the table; busy says whether a batch runs.
void CheckControlTable(QWidget& window, bool busy);

}  // namespace vantrel::app::test
