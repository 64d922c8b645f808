#pragma once

class QHeaderView;
class QMenu;

// The header's context menu: one checkable entry per column, named by its caption, that shows or hides it; the last
// shown column cannot be hidden. Built when asked for, so captions and states are current. GUI thread only.
void InstallColumnMenu(QHeaderView* header);
// The menu InstallColumnMenu opens, owned by the caller; tests trigger its entries directly.
QMenu* MakeColumnMenu(QHeaderView* header);
