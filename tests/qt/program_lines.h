#pragma once
// The lines a program started by a test writes on its standard output, each with the time it
// came on the test's clock, as the tests that drive tolvane-dryrun from outside read them.
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "wait.h"

namespace tolvane::test {

using TimedLine = std::pair<qint64, std::string>;

// Keeps every line the program writes from now on, without its line end.
inline void keepLines(QProcess& program, const QElapsedTimer& clock, std::vector<TimedLine>& lines)
{
    QObject::connect(&program, &QProcess::readyReadStandardOutput, [&] {
        while (program.canReadLine())
            lines.push_back({clock.elapsed(), QString::fromUtf8(program.readLine()).trimmed().toStdString()});
    });
}

inline size_t countLines(const std::vector<TimedLine>& lines, const std::string& text)
{
    return static_cast<size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return l.second == text; }));
}

// The first line equal to text from the index on, waiting up to timeoutMs; null if none comes.
inline const TimedLine* waitForLine(const std::vector<TimedLine>& lines, const std::string& text, size_t from,
                                    int timeoutMs)
{
    const TimedLine* found = nullptr;
    waitFor(
        [&] {
            for (size_t i = from; i < lines.size(); ++i)
                if (lines[i].second == text) return (found = &lines[i]) != nullptr;
            return false;
        },
        timeoutMs);
    return found;
}

}  // namespace tolvane::test
