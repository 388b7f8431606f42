// What a keyboard alone needs beyond Qt's own handling: Shift+F10 opens the
// context menu of the control that has the focus, as the Menu key does, and
// a window with pages is walked page by page with Tab.
#pragma once

class QTabWidget;
class QWidget;

// Application-wide; installing it again does nothing more.
void InstallKeyboardContextMenu();

// Orders the Tab chain: the page tabs, then each page's controls in page
// order (in their own chain order), then `last`. Controls on hidden pages are
// skipped by Tab, so on any page the tabs, that page's controls and `last`
// follow one another.
void ChainFocusThroughPages(QTabWidget *pages, QWidget *last);
