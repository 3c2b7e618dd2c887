#include "app/help_topics.h"

#include "platform/program_dir.h"

#include <QRegularExpression>

namespace HelpFile {

QString path() { return ProgramDir::file(QStringLiteral("Medrova.HLP")); }

QString anchor(int context) { return QStringLiteral("topic-%1").arg(context); }

bool hasTopic(const QString& html, int context)
{
    const QRegularExpression re(QStringLiteral("<a\\s+(name|id)=\"%1\"").arg(anchor(context)),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(html).hasMatch();
}

} // namespace HelpFile
