#pragma once

#include <QString>
#include <functional>

namespace vexana::shell {

// The path a save dialog gave, made final: the type's suffix (without the dot) is appended
// unless the name ends in it already, ignoring case. Only then is it known which file would be
// replaced, so the question about replacing it is asked here, on the final name, through
// replace (true: replace it). Empty when nothing was chosen or the existing file is kept.
QString finishSavePath(const QString& chosen, const QString& suffix,
                       const std::function<bool(const QString& question)>& replace);

} // namespace vexana::shell
