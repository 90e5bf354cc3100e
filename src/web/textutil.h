#pragma once

#include <QString>

// The first match of `pattern` in `text`, or the empty text when there is
// none. Matching ignores case, "^" and "$" also match at line breaks, and "."
// never crosses a line feed, so a greedy ".*" ends at the end of its line.
// A pattern that does not compile yields the empty text (and a warning).
QString RegExMatch(const QString &pattern, const QString &text);
