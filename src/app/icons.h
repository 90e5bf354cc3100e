#pragma once

#include <QIcon>
#include <QList>

// Quillmoor's own pictures, drawn rather than shipped as files.
namespace Icons {
QIcon windowIcon();
// The 16 x 16 status icons of the progress rows, for the indices
// 1 (collecting), 2 (picture saved), 3 (album finished), 4 (picture failed)
// and 5 (picture skipped, collection stopped early).
QIcon statusIcon(int index);
} // namespace Icons
