#ifndef VELLSNAPWIDGETSEXPORT_H
#define VELLSNAPWIDGETSEXPORT_H

#include <QtGlobal>

// Symbols are hidden by default; the public classes and functions of
// libsnapwidgets carry this macro.
#if defined(VELL_SNAPWIDGETS_LIBRARY)
#define VELL_SNAPWIDGETS_EXPORT Q_DECL_EXPORT
#else
#define VELL_SNAPWIDGETS_EXPORT Q_DECL_IMPORT
#endif

#endif // VELLSNAPWIDGETSEXPORT_H
