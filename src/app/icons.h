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
// The three 16 x 16 status icons of the progress rows, for the indices
// 1 (collecting), 2 (picture saved) and 3 (album finished).
QIcon statusIcon(int index);
} // namespace Icons
