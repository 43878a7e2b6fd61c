#include "SavePath.h"

#include <QFileInfo>

namespace vexana::shell {

QString finishSavePath(const QString& chosen, const QString& suffix,
                       const std::function<bool(const QString& question)>& replace) {
    if (chosen.isEmpty()) return {};
    QString path = chosen;
    if (!suffix.isEmpty() && !path.endsWith('.' + suffix, Qt::CaseInsensitive))
        path += '.' + suffix;
    const QFileInfo target(path);
    // A dangling link is a name in the folder as well, and would be replaced.
    if (!target.exists() && !target.isSymLink()) return path;
    const QString question = target.fileName() + " already exists.\nDo you want to replace it?";
    return replace && replace(question) ? path : QString();
}

} // namespace vexana::shell
