#include "support/temp_program_dir.h"

#include "platform/program_dir.h"

TempProgramDir::TempProgramDir()
{
    ProgramDir::set(m_dir.path());
    qputenv("MEDROVA_REGISTRY", (m_dir.path() + QStringLiteral("/registry/registry.ini")).toLocal8Bit());
}

TempProgramDir::~TempProgramDir() { qunsetenv("MEDROVA_REGISTRY"); }

QString TempProgramDir::path() const { return m_dir.path() + QLatin1Char('/'); }
