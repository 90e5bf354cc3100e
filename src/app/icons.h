#pragma once

#include <QIcon>
#include <QList>

// Quillmoor's own pictures.
namespace Icons {
// The name of the desktop entry, the AppStream component and the icon in
// the icon theme.
QString applicationId();
// The application icon, the same pictures the desktop's menu shows.
QIcon windowIcon();
// The 16 x 16 status icons of the progress rows, for the indices
// 1 (collecting), 2 (picture saved), 3 (album finished), 4 (picture failed)
// and 5 (picture skipped, collection stopped early).
QIcon statusIcon(int index);
} // namespace Icons
