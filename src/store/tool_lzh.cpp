// medrova-tool lzh: compress and expand files in the LZH container.

#include "platform/errors.h"
#include "platform/safe_save.h"
#include "store/lzh_container.h"
#include "tool/tool_command.h"

#include <QFile>

namespace {

int lzh(const QStringList& args, QTextStream&, QTextStream& err)
{
    if (args.size() != 3 || (args[0] != QLatin1String("compress") && args[0] != QLatin1String("expand"))) {
        err << "Usage: medrova-tool lzh compress|expand IN OUT\n";
        return 2;
    }
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly))
        throw MedrovaError(QStringLiteral("Cannot open file \"%1\". %2").arg(args[1], in.errorString()));
    const QByteArray bytes = in.readAll();
    const QByteArray result = args[0] == QLatin1String("compress") ? LzhContainer::compressTable(bytes)
                                                                    : LzhContainer::decompressTable(bytes);
    if (!SafeSave::save(args[2], result))
        throw MedrovaError(QStringLiteral("Cannot create file \"%1\".").arg(args[2]));
    return 0;
}

const ToolCommandRegistration registration({QStringLiteral("lzh"),
                                            QStringLiteral("compresses and expands LZH containers"), lzh});

} // namespace
