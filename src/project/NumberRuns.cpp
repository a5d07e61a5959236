#include "NumberRuns.h"

#include <QStringList>

QString NumberRuns(const std::vector<int>& ascending) {
    QStringList runs;
    for (size_t first = 0; first < ascending.size();) {
        size_t last = first;
        while (last + 1 < ascending.size() && ascending[last + 1] == ascending[last] + 1) ++last;
        if (last == first)
            runs << QString::number(ascending[first]);
        else
            runs << QStringLiteral("%1-%2").arg(ascending[first]).arg(ascending[last]);
        first = last + 1;
    }
    return runs.join(QStringLiteral(", "));
}
