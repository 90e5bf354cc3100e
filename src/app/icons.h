#pragma once

#include <QIcon>
#include <QList>

// Quillmoor's own pictures, drawn rather than shipped as files.
namespace Icons {
QIcon windowIcon();
// The three 16 x 16 status icons of the progress rows, for the indices
// 1 (collecting), 2 (picture saved) and 3 (album finished).
QIcon statusIcon(int index);
} // namespace Icons
