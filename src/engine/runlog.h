#pragma once

// TRunLog: the ordered lines of the run log that the log page shows. The run
// appends lines (empty ones too) and replaces the last one; the row copy only
// replaces the last one. A listener, when set, hears of every change as it
// happens, so that a window can show each progress line as it is written.

#include <QString>
#include <QStringList>
#include <functional>

class TRunLog {
public:
    enum class Change { Appended, ReplacedLast, Cleared };
    using Listener = std::function<void(Change, const QString& line)>;

    void append(const QString& line);
    // On an empty log this appends: there is no last line to replace.
    void replaceLast(const QString& line);
    void clear();

    const QStringList& lines() const { return lines_; }
    bool isEmpty() const { return lines_.isEmpty(); }
    const QString& last() const { return lines_.last(); }

    void setListener(Listener listener) { listener_ = std::move(listener); }

private:
    void notify(Change change, const QString& line) const;

    QStringList lines_;
    Listener listener_;
};
