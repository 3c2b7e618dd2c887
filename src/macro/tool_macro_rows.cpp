// The patient and history rows of the program directory for medrova-tool macro run. The
// table files are only read: a dry run never repairs, rotates or rewrites them.

#include "macro/dry_run.h"
#include "macro/table_rows.h"
#include "platform/errors.h"
#include "platform/program_dir.h"
#include "store/data_module.h"
#include "store/lzh_container.h"
#include "store/table.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::unique_ptr<Table> readTable(const QString& fileName, const std::vector<FieldDef>& fields)
{
    const QString path = ProgramDir::file(fileName);
    auto table = std::make_unique<Table>(fileName);
    table->setFieldDefs(fields);
    table->createTable();
    if (!QFileInfo::exists(path))
        return table; // no file yet: no rows
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw MedrovaError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, f.errorString()));
    const bool compressed = LzhContainer::isCompressed(f);
    f.close();
    table->setMemoCompression(compressed);
    table->loadFromFile(path, compressed ? FileForm::Compressed : FileForm::Plain);
    return table;
}

class ProgramDirRows final : public MacroRowSource {
public:
    ProgramDirRows()
        : m_patient(readTable(QStringLiteral("Patient.bin"), TDataModule1::patientFields())),
          m_history(readTable(QStringLiteral("PtHistory.bin"), TDataModule1::historyFields()))
    {
    }
    std::optional<MacroRow> patient(int id) override { return row(*m_patient, id); }
    std::optional<MacroRow> history(int id) override { return row(*m_history, id); }

private:
    static std::optional<MacroRow> row(Table& t, int id)
    {
        if (!t.locate({QStringLiteral("ID")}, {id}))
            return std::nullopt;
        return macroRowOf(t);
    }
    std::unique_ptr<Table> m_patient;
    std::unique_ptr<Table> m_history;
};

} // namespace

std::unique_ptr<MacroRowSource> openProgramDirRows()
{
    return std::make_unique<ProgramDirRows>();
}
