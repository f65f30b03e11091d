#include "engine/runlog.h"

void TRunLog::append(const QString& line) {
    lines_.append(line);
    notify(Change::Appended, line);
}

void TRunLog::replaceLast(const QString& line) {
    if (lines_.isEmpty()) {
        append(line);
        return;
    }
    lines_.last() = line;
    notify(Change::ReplacedLast, line);
}

void TRunLog::clear() {
    lines_.clear();
    notify(Change::Cleared, QString());
}

void TRunLog::notify(Change change, const QString& line) const {
    if (listener_) listener_(change, line);
}
